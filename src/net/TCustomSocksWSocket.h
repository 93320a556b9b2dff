#pragma once
#include "net/TCustomWSocket.h"

#include <functional>
#include <string>

enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };

// Authentication progress reported by OnSocksAuthState.
enum TSocksAuthState {
    socksAuthStart = 0,
    socksAuthSuccess = 1,
    socksAuthFailure = 2,
    socksAuthNotRequired = 3
};

// The layer that negotiates with a SOCKS proxy (versions 4, 4A and 5, with
// user-name authentication for 5) before the connection is handed to its
// owner, so the owner sees an ordinary connection. Without a SOCKS server set
// it passes everything through.
class TCustomSocksWSocket : public TCustomWSocket {
public:
    explicit TCustomSocksWSocket(QObject* parent = nullptr);

    const std::string& SocksServer() const { return socksServer_; }
    void SetSocksServer(const std::string& value);
    const std::string& SocksPort() const { return socksPort_; }
    void SetSocksPort(const std::string& value);
    const std::string& SocksLevel() const { return socksLevel_; }
    void SetSocksLevel(const std::string& value);
    const std::string& SocksUsercode() const { return socksUsercode_; }
    void SetSocksUsercode(const std::string& value) { socksUsercode_ = value; }
    const std::string& SocksPassword() const { return socksPassword_; }
    void SetSocksPassword(const std::string& value) { socksPassword_ = value; }
    TSocksAuthentication SocksAuthentication() const { return socksAuthentication_; }
    void SetSocksAuthentication(TSocksAuthentication value) { socksAuthentication_ = value; }
    // 0 idle, 1 waiting for the proxy connection or method reply,
    // 2 authenticating, 3 waiting for the connect reply.
    int SocksState() const { return socksState_; }

    void Connect() override;
    void Listen() override;
    int Receive(void* buffer, int len) override;
    int GetRcvdCount() override;

    std::function<void(TCustomWSocket* Sender, int Error, const std::string& Msg)> OnSocksError;
    std::function<void(TCustomWSocket* Sender, int Error)> OnSocksConnected;
    std::function<void(TCustomWSocket* Sender, int AuthState)> OnSocksAuthState;

protected:
    void TriggerSessionConnected(int Error) override;
    bool TriggerDataAvailable(int Error) override;
    void TriggerSessionClosed(int Error) override;
    void ResetToDefaults() override;

private:
    bool Assigned() const { return !socksServer_.empty(); }
    bool Version5() const { return socksLevel_ == "5"; }
    bool ReadReply(int limit);
    void SocksFailure(int code, const std::string& msg);
    void SendAuthentication();
    void SendConnectRequest();
    void Negotiated(int replyLength);
    void RaiseAuthState(int state);

    // Replies of a proxy are short; the longest, a version 5 reply naming a
    // host, is 262 bytes.
    static constexpr int kReplyCapacity = 512;

    int socksState_ = 0;
    std::string socksServer_;
    std::string socksLevel_ = "5";
    std::string socksPort_;
    std::string socksUsercode_;
    std::string socksPassword_;
    TSocksAuthentication socksAuthentication_ = socksNoAuthentication;
    unsigned char methodOffered_ = 0;
    unsigned char reply_[kReplyCapacity] = {};
    int replyCount_ = 0;
    std::string leftOver_; // bytes after the proxy's final reply, for the owner
    std::size_t leftOverPos_ = 0;
    std::string targetAddr_;
    int targetPort_ = 0;
};
