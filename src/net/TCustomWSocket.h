#pragma once
#include "net/SocketAddress.h"
#include "net/SocketErrors.h"
#include "net/TBuffer.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <vector>

class QSocketNotifier;

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};

enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

enum TSocketSendFlags { wsSendNormal = 0, wsSendUrgent = 1 };

class TCustomWSocket;

using TSocketEvent = std::function<void(TCustomWSocket* Sender, int Error)>;
using TChangeStateEvent =
    std::function<void(TCustomWSocket* Sender, TSocketState OldState, TSocketState NewState)>;
using TSendDataEvent = std::function<void(TCustomWSocket* Sender, int BytesSent)>;
using TBgExceptionEvent =
    std::function<void(TCustomWSocket* Sender, const std::exception& E, bool& CanClose)>;

// An event-driven TCP socket on the Qt event loop. Nothing blocks: Connect,
// Listen and Send start work that finishes later through the events below.
// Sending goes through a queue of 1514-byte blocks drained whenever the
// system can take more; OnDataSent tells that the queue has become empty and
// is always raised from the loop, never from inside Send. One readable
// notification calls the data handler a few times at most, so every socket
// of the loop is served in turn.
class TCustomWSocket : public QObject {
public:
    explicit TCustomWSocket(QObject* parent = nullptr);
    ~TCustomWSocket() override;
    TCustomWSocket(const TCustomWSocket&) = delete;
    TCustomWSocket& operator=(const TCustomWSocket&) = delete;

    // Properties. Addr, Port, Proto, LocalAddr and LocalPort may only change
    // while the socket is closed (setting the same value is always accepted).
    const std::string& Addr() const { return addr_; }
    virtual void SetAddr(const std::string& value);
    const std::string& Port() const { return port_; }
    virtual void SetPort(const std::string& value);
    const std::string& Proto() const { return proto_; }
    virtual void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return localPort_; }
    void SetLocalPort(const std::string& value);

    TSocketState State() const { return state_; }
    int HSocket() const { return handle_; }
    int LastError() const { return lastError_; }
    TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
    void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
    int LingerTimeout() const { return lingerTimeout_; }
    void SetLingerTimeout(int seconds) { lingerTimeout_ = seconds; }
    bool AllSent() const { return allSent_; }
    long long ReadCount() const { return readCount_; }
    bool NoReceiveLoop() const { return noReceiveLoop_; }
    void SetNoReceiveLoop(bool value) { noReceiveLoop_ = value; }
    int SendFlags() const { return sendFlags_; }
    void SetSendFlags(int flags);
    int BufSize() const { return blockSize_; }
    void SetBufSize(int size) { blockSize_ = size <= 0 ? TBuffer::kDefaultSize : size; }
    // Bytes accepted by Send and not yet handed to the system.
    long long BufferedByteCount() const;
    const std::string& DnsResult() const { return dnsResult_; }
    const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
    int LastAcceptedHandle() const { return acceptedHandle_; }

    // Operations.
    virtual void Connect();
    virtual void Listen();
    virtual int Accept();
    virtual void Dup(int handle);
    virtual int Send(const void* data, int len);
    int SendStr(const std::string& text);
    // Queues up to len bytes of the open file fd, from its current offset,
    // handed to the system with sendfile: the same bytes as reading the file
    // and Send-ing them, without copying them through this process. Only on
    // a connected stream socket with nothing queued (false otherwise: send as
    // usual). Bytes Send-ing later follow the file bytes. OnDataSent comes
    // (from the loop) when all is out; FileBytesSent() then tells how many
    // came from the file: fewer than len when the file ended first. The
    // caller keeps fd open until then.
    bool SendFile(int fd, long long len);
    long long FileBytesSent() const { return fileSent_; }
    virtual int Receive(void* buffer, int len);
    std::string ReceiveStr();
    // Bytes that can be read at once; -1 on error.
    virtual int GetRcvdCount();
    virtual void Close();
    void CloseDelayed();
    virtual void Abort();
    void Release();
    void Shutdown(int how);
    virtual void DnsLookup(const std::string& name);
    void CancelDnsLookup();
    std::string GetPeerAddr();
    // The dotted peer address of any connected handle (an accepted one not
    // yet adopted); empty when it has none.
    static std::string PeerAddrOfHandle(int handle);
    std::string GetPeerPort();
    // Local port of a bound, connected or listening socket; "error" otherwise.
    std::string GetXPort();
    // Local address (dotted) of the handle; "error" without one.
    std::string GetXAddr();
    int GetSockName(TSocketAddress& address);
    // Listen binds to a port of first..last (tried from a random one on, so
    // the next port is not guessable) when the port asked for is 0 and
    // first is not 0; every port busy fails Listen with "Address already
    // in use" (10048). 0, 0: any free port.
    void SetListenPortRange(int first, int last);
    void Pause();
    void Resume();
    bool Paused() const { return paused_; }
    static void MessagePump();

    // Events.
    TSocketEvent OnSessionAvailable;
    TSocketEvent OnSessionConnected;
    TSocketEvent OnSessionClosed;
    TSocketEvent OnDataAvailable;
    TSocketEvent OnDataSent;
    TSocketEvent OnDnsLookupDone;
    TChangeStateEvent OnChangeState;
    TSendDataEvent OnSendData;
    TBgExceptionEvent OnBgException;
    std::function<void(TCustomWSocket* Sender)> OnError;

protected:
    // Hooks for the layers above (SOCKS negotiation, the server's control
    // connection). Each base version raises the matching event.
    virtual bool TriggerDataAvailable(int Error);
    virtual void TriggerSessionConnected(int Error);
    virtual void TriggerSessionClosed(int Error);
    virtual void TriggerSessionAvailable(int Error);
    virtual void TriggerDataSent(int Error);
    virtual void TriggerChangeState(TSocketState OldState, TSocketState NewState);
    virtual void TriggerDnsLookupDone(int Error);
    virtual void HandleBackgroundException(const std::exception& E);
    virtual void InternalClose(bool shutdownFirst, int Error);
    virtual int RealSend(const void* data, int len);
    virtual void ResetToDefaults();

    // Reports a failed system call for operation (errno taken now).
    void SocketError(const std::string& operation);
    void SocketErrorCode(int code, const std::string& operation);
    // Raises an argument or state error without a code (OnError instead when set).
    void RaiseException(const std::string& message);
    void ChangeState(TSocketState newState);
    void TryToSend();
    // Hands file bytes to the system; false when the socket is full or failed.
    bool TryToSendFile();
    bool NothingQueued() const { return sendQueue_.empty() && fileLeft_ == 0; }
    // Runs the receive loop as on a readable notification.
    void ReceiveLoop(int Error);
    void ApplyLinger();
    void DropSendQueue();
    void DestroyNotifiers();
    // Stops (true) or restarts readable notifications without pausing the
    // rest: a layer above that still holds unread work, or whose replies pile
    // up, reads nothing more until it lets go.
    void HoldReading(bool held);
    bool ReadingHeld() const { return readHeld_; }
    bool CloseReported() const { return closeReported_; }
    void SetCloseReported(bool value) { closeReported_ = value; }
    bool Destroying() const { return destroying_; }

private:
    void CreateNotifiers(bool wantWrite);
    void OnReadable();
    void OnWritable();
    void HandleConnectDone();
    void HandleClosedByPeer(int Error);
    void SetWriteWatch(bool enabled);
    void PostWritable();
    void RecycleFrontBlock();
    void ResolveForUse(const char* prefix);
    // Runs a notification handler, catching what escapes it.
    void Dispatch(const std::function<void()>& handler);

    std::string addr_;
    std::string port_;
    std::string proto_ = "tcp";
    std::string localAddr_ = "0.0.0.0";
    std::string localPort_ = "0";
    bool addrAssigned_ = false;
    bool portAssigned_ = false;
    bool protoAssigned_ = true;
    bool addrResolved_ = false;
    bool portResolved_ = false;
    bool protoResolved_ = false;
    bool localPortResolved_ = false;
    TSocketAddress remote_;
    int remotePort_ = 0;
    int listenPortFirst_ = 0;
    int listenPortLast_ = 0;
    int protocolNumber_ = 6;
    int socketType_ = 1;
    int localPortNumber_ = 0;

    int handle_ = -1;
    int acceptedHandle_ = -1;
    TSocketState state_ = wsClosed;
    int lastError_ = 0;
    TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
    int lingerTimeout_ = 0;
    bool allSent_ = true;
    long long readCount_ = 0;
    bool paused_ = false;
    bool readHeld_ = false;
    bool closeReported_ = false;
    bool noReceiveLoop_ = false;
    bool destroying_ = false;
    int sendFlags_ = 0;
    int blockSize_ = TBuffer::kDefaultSize;
    std::deque<std::unique_ptr<TBuffer>> sendQueue_;
    std::vector<std::unique_ptr<TBuffer>> spareBlocks_;
    // The file segment of SendFile, sent before anything in sendQueue_.
    int fileFd_ = -1;
    long long fileLeft_ = 0;
    long long fileSent_ = 0;

    std::string dnsResult_;
    std::vector<std::string> dnsResultList_;
    int dnsLookupId_ = 0;

    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    bool listening_ = false;
    bool writablePosted_ = false;
};
