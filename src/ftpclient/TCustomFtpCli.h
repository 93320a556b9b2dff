#pragma once
#include "base/LocalFile.h"
#include "crypto/ChunkCipher.h"
#include "ftpclient/FeatureSet.h"
#include "ftpclient/FtpClientState.h"
#include "ftpclient/FtpClientTypes.h"
#include "ftpclient/ReplyLineBuffer.h"
#include "net/TokenBucket.h"
#include "net/TransferPacer.h"

#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;
class TWSocket;
class TCustomWSocket;
class TFtpCipherHooks;

// The client half of the FTP engine: one control connection, one data
// connection, and every user action run as an asynchronous request made of
// steps. Each request ends with exactly one OnRequestDone, always delivered
// from the event loop.
class TCustomFtpCli : public QObject {
public:
    explicit TCustomFtpCli(QObject* parent = nullptr);
    ~TCustomFtpCli() override;
    TCustomFtpCli(const TCustomFtpCli&) = delete;
    TCustomFtpCli& operator=(const TCustomFtpCli&) = delete;

    // ---- Plain settings, read when a request needs them.
    std::string HostName;
    std::string Port = "ftp";
    std::string UserName;
    std::string PassWord;
    std::string MyPublicKey;
    std::string MyPrivateKey;
    std::string MyPublicKeyLength; // "064".."256", appended to PUBK
    std::string MyPublicKeyBits;   // "0512".."2048", appended to PUBK
    std::string ServerPublicKey;   // empty: commands go out in clear
    std::string ServerPublicKeyLength;
    std::string ServerPublicKeyBits;
    std::string HostDirName;
    std::string HostFileName;
    std::string LocalFileName; // also the RNTO name and the quoted command line
    bool DisplayFileFlag = false;
    int DisplayFileMode = 0; // 0 line by line, 1 each block whole
    bool Binary = true;
    TFtpOptions Options = ftpAcceptLF;
    std::string ProxyServer;
    std::int64_t ResumeOffset = 0;
    // An open descriptor (standard input or output) that a transfer reads
    // or writes instead of opening LocalFileName, which then only names it
    // in messages; -1: none. Not owned.
    int LocalFileHandle = -1;
    // Seconds to wait for the connection and greeting, and for each reply
    // (received lines and transfer progress start the wait again); 0 or less
    // waits for ever. A wait that runs out ends the request with a message
    // that says what did not arrive, and drops the connection.
    int Timeout = 15;
    // Data connections are enciphered (switched by the session once the key
    // check succeeded); needs CipherHooks.
    bool ClientEncryptionActive = false;
    TFtpCipherHooks* CipherHooks = nullptr; // not owned
    // Speed limits of transfers in bytes per second, 0 for none; read at
    // every block, so a change applies to a running transfer.
    std::int64_t DownloadLimit = 0;
    std::int64_t UploadLimit = 0;
    // The clock behind the limits (tests move their own).
    LoopClock* Clock = &LoopClock::System();

    // ---- Settings with rules.
    TFtpShareMode ShareMode() const { return shareMode_; }
    void SetShareMode(int mode);
    TFtpConnectionType ConnectionType() const { return connectionType_; }
    void SetConnectionType(int type);
    bool UsePassive() const { return usePassive_; }
    void SetUsePassive(bool on);
    void SetSocksServer(const std::string& host);
    void SetSocksPort(const std::string& port);
    void SetSocksUserCode(const std::string& user);
    void SetSocksPassword(const std::string& password);
    const std::string& SocksServer() const { return socksServer_; }
    const std::string& SocksPort() const { return socksPort_; }
    const std::string& SocksUserCode() const { return socksUser_; }
    const std::string& SocksPassword() const { return socksPassword_; }

    // ---- Read-only state.
    TFtpState State() const { return state_; }
    TFtpRequest RequestType() const { return requestCode_; }
    int StatusCode() const { return replyCode_; }
    const std::string& LastResponse() const { return lastReply_; }
    const std::string& ErrorMessage() const { return errorMessage_; }
    const std::string& ReplyPath() const { return replyPath_; }
    std::int64_t ReplySize() const { return replySize_; }
    std::int64_t TransferCount() const { return transfer_.count; }
    // The transfer type the server last accepted on this connection (true:
    // binary); empty when none was set yet.
    std::optional<bool> AcceptedType() const {
        return type_.known ? std::optional<bool>(type_.binary) : std::nullopt;
    }
    bool Connected() const;
    // What the server offered in its answer to FEAT on this connection
    // (nothing when it was not asked or not answered).
    const FtpFeatureSet& Features() const { return features_; }
    bool ListedWithMlsd() const { return transfer_.machineListing; }
    // The last request ended because the greeting or a reply did not come in time.
    bool TimedOut() const { return login_.timedOut; }
    TWSocket* ControlSocket() const { return control_.get(); }
    TWSocket* DataSocket() const { return data_.get(); }

    // ---- Events (all optional).
    std::function<void(TCustomFtpCli* Sender, const std::string& Msg)> OnDisplay;
    std::function<void(TCustomFtpCli* Sender, const std::string& Msg)> OnDisplayFile;
    std::function<void(TCustomFtpCli* Sender, std::string& Cmd)> OnCommand;
    std::function<void(TCustomFtpCli* Sender)> OnResponse;
    std::function<void(TCustomFtpCli* Sender, std::int64_t Count, bool& Abort)> OnProgress;
    std::function<void(TCustomFtpCli* Sender, int Error)> OnSessionConnected;
    std::function<void(TCustomFtpCli* Sender, int Error)> OnSessionClosed;
    std::function<void(TCustomFtpCli* Sender, TFtpRequest RqType, int Error)> OnRequestDone;
    std::function<void(TCustomFtpCli* Sender)> OnStateChange;
    std::function<void(TCustomFtpCli* Sender, bool& Cancel)> OnReadyToTransmit;
    std::function<void(TCustomFtpCli* Sender, const std::exception& E, bool& CanClose)>
        OnBgException;
    // Something the owner should log that is no request's result (a
    // stranger's data connection turned away).
    std::function<void(TCustomFtpCli* Sender, const std::string& Msg)> OnNotice;

    // ---- Requests. Each either raises FtpException at once (started
    // wrongly) or ends with one OnRequestDone.
    virtual void Open();
    virtual void User();
    virtual void Pass();
    virtual void Pubk();
    virtual void Connect();
    virtual void Quit();
    virtual void Abort();
    virtual void Get();
    virtual void SessionGet();
    virtual void Put();
    virtual void SessionPut();
    virtual void Append();
    virtual void SessionAppend();
    virtual void Dir();
    virtual void Ls();
    virtual void TypeSet();
    virtual void TypeBinary();
    virtual void TypeAscii();
    virtual void Pwd();
    virtual void Cwd();
    virtual void CDup();
    virtual void SessionDir();
    virtual void SessionLs();
    virtual void Syst();
    virtual void SessionSyst();
    virtual void Size();
    virtual void SessionSize();
    virtual void Mkd();
    virtual void SessionMkd();
    virtual void Rmd();
    virtual void SessionRmd();
    virtual void Dele();
    virtual void SessionDele();
    virtual void RenFrom();
    virtual void RenTo();
    virtual void Rename();
    virtual void SessionRename();
    virtual void Quote();
    virtual void SessionQuote();
    virtual void Rest();
    virtual void RestGet();
    virtual void SessionRestGet();
    virtual void RestPut();
    virtual void SessionRestPut();
    virtual void PortRequest();
    // FEAT, then OPTS UTF8 ON when UTF8 is offered; never fails on the
    // server's answer (see Features()).
    virtual void Feat();
    // The folder's entries: MLSD where the server offers MLST, LIST
    // otherwise; reported as ftpDir. ListedWithMlsd() says which was used.
    virtual void ListEntries();

protected:
    virtual void TriggerDisplay(const std::string& msg);
    virtual void TriggerDisplayFile(const std::string& msg);
    virtual bool TriggerProgress(); // true: the handler asked to abort
    virtual void TriggerReadyToTransmit(bool& cancel);
    // Raises OnRequestDone; runs from the event loop.
    virtual void TriggerRequestDone(TFtpRequest request, int error);
    virtual void HandleBackgroundException(const std::exception& e);
    void SetState(TFtpState s);
    // Records a failure the engine did not get from the server (time-out).
    void SetFailure(const std::string& message, int code) {
        errorMessage_ = message;
        replyCode_ = code;
    }

private:
    static constexpr int kIoBlock = 256 * 1024;
    // Uploads read 173 chunks of the client-to-server size at a time;
    // enciphered uploads still encipher each chunk on its own, so the bytes
    // on the wire are the same as with one chunk per send.
    static constexpr int kSendBlock = 173 * static_cast<int>(kClientToServerChunk);
    static_assert(kSendBlock <= kIoBlock);
    TokenBucket rateLimit_;
    TransferPacer pacer_;

    using Handler = void (TCustomFtpCli::*)();

    // Control connection.
    void CheckReady() const;
    void CheckConnected() const;
    void StartCommand(TFtpRequest code, TFtpStep step, const std::string& cmd,
                      std::initializer_list<int> accepted, bool isQuit = false);
    void SendCommand(std::string cmd);
    void StartSequence(TFtpRequest code, TFtpStepSet steps);
    void RunDriver();
    void StartStep(TFtpStep step);
    void ExtractResults(TFtpStep step);
    void Done(int error);
    void PostRequestDone(int error);
    void SetErrorMessage();
    void GenericReply();
    // canEndReply is false for the rest of a cut line.
    void HandleLine(const std::string& line, bool canEndReply);
    bool DecipherLine(const std::string& line, std::string& plain);
    void ForgetKnownSize(TFtpStep step);
    std::string SocksFailureText(int error) const;
    void OpenStep();
    void UserStep();
    void PassStep();
    void CwdStep();
    void QuitStep();
    void FeatStep();
    // FEAT and OPTS never fail the login: any answer is taken as it comes,
    // and the login's reply stays the last one.
    void FeatReply();
    void OptsReply();
    // EPSV refused: PASV is asked instead, and on every later transfer.
    void ExtendedPassiveReply();
    void SingleStep(TFtpStep step);
    void FailOpen(int error, const std::string& text);
    bool IsSocks() const;
    void ApplySocks(TWSocket& socket);

    void ControlDnsDone(int error);
    void ControlConnected(int error);
    void ControlDataAvailable(int error);
    void ControlClosed(int error);
    void SocketError(int error);
    // The wait for the greeting or a reply: started with every wait and
    // every sign of life, stopped otherwise.
    void RestartReplyTimer();
    void ReplyTimedOut();

    // Data connection.
    void PortStep();
    void RestStep();
    void ReceiveStep(const char* command);
    void SendStep(bool append);
    void ResetDataSocket();
    void CloseData();
    // Speed limit: false when the block must wait (the loop calls resume
    // later); otherwise want is cut to what the limit allows now, in whole
    // units.
    bool PaceBlock(bool upload, long long& want, long long unit, std::function<void()> resume);
    bool ConnectPassiveData();
    void DataConnectFailed(int error);
    // A refused transfer command or a data connection that never came up:
    // the step ends with code once the data connection and local file are released.
    void FailTransferStart(int code);
    // Port mode: the server's data connection taken off the listener; -1
    // when nothing listens, or once the step has failed.
    int AcceptDataConnection();
    // Both directions: a transfer completes once its final reply (one of
    // accepted) and the close of its data connection (closed) were both seen.
    void TransferFinalReply(std::initializer_list<int> accepted, const bool& closed,
                            const char* failedNote);
    void TransferDataClosed(bool& closed, int error);
    void FinishTransferIfDone(bool closed);
    void DataConnected(int error);
    void StartTransferCommand();
    void PostSendStart();
    void Deliver(const char* bytes, int len);
    int LocalFailureResult();
    void ReceiveFirstReply();
    void ReceiveFinalReply();
    void DataSessionAvailable(int error);
    void DataAvailable(int error);
    void ReceiveClosedHandler(int error);
    void StoreFirstReply();
    void StoreFinalReply();
    void SendNextBlock(int error);
    void SendClosedHandler(int error);
    void WriteReceived(const char* bytes, int len);
    void DisplayReceived(const char* bytes, int len);
    // Checks that the download target can be written, changing nothing.
    bool CheckLocalForReceive();
    // Opens (creating or emptying) the download target once data comes.
    bool OpenLocalForReceive();
    // An existing file being overwritten: the download goes to a copy beside
    // it, renamed over it once complete, removed on failure.
    bool OpenPartialCopy();
    void PutPartialCopyInPlace();
    void DiscardPartialCopy(); // also says that the old copy was kept
    void LocalFileFailed(const char* prefix, int error);
    // A download's result once reply and data close are in: a data
    // connection error, or a short file when its size is known.
    int ReceiveResult();
    int OpenLocalForSend(); // 0, else the errno
    void ReleaseLocalFile();
    void WriteStatistics();
    std::int64_t NowMs() const;

    std::unique_ptr<TWSocket> control_;
    std::unique_ptr<TWSocket> data_;

    TFtpShareMode shareMode_ = ftpShareExclusive;
    TFtpConnectionType connectionType_ = ftpDirect;
    bool usePassive_ = false;
    std::string socksServer_, socksPort_, socksUser_, socksPassword_;

    TFtpState state_ = TFtpState::ftpcReady;
    TFtpRequest requestCode_ = ftpNone;
    TFtpStepSet stepSet_ = 0;
    TFtpStep currentStep_ = stepNone; // step last started by the driver
    TFtpStep commandStep_ = stepNone; // step whose reply is awaited
    int replyCode_ = 0;
    std::string lastReply_;
    int requestResult_ = 0;
    int sequenceResult_ = 0;
    std::string savedReply_;
    int savedReplyCode_ = -1;
    std::vector<int> acceptedCodes_;
    Handler nextHandler_ = nullptr;
    ReplyLineBuffer receiveBuffer_;
    std::string replyPath_;
    std::int64_t replySize_ = -1;
    std::string errorMessage_;
    std::string socksReason_; // the proxy's text for its last refusal
    std::string sizeAskedFor_;
    std::optional<std::string> knownSizeName_; // the file replySize_ belongs to
    std::string resolvedAddr_;
    std::string socksAddress_; // the proxy's address, looked up at connect time
    std::string passiveReply_;
    FtpFeatureSet features_;
    std::vector<std::string> featLines_; // the FEAT reply's lines so far
    std::string loginReply_;             // the reply FEAT and OPTS leave in place
    int loginReplyCode_ = 0;

    FtpRequestState request_;
    FtpLoginState login_;
    FtpTypeState type_;
    // The running (or last) transfer.
    FtpTransferState transfer_;
    TLocalFile localFile_;
    TChunkFramer received_{kServerToClientChunk}; // enciphered chunks being reassembled
    std::vector<char> ioBuffer_;
    QTimer* replyTimer_ = nullptr;
    std::string lastVerb_; // the command word of the last command sent
};
