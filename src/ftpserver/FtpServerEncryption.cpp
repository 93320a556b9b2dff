// The encrypted session on the server side: PUBK, enciphered replies, the
// key file of "*encryption.key*" and the ciphers of data connections.
#include "base/PathText.h"
#include "crypto/KeyAnnouncement.h"
#include "crypto/KeyFile.h"
#include "crypto/TRSA.h"
#include "ftpserver/FtpServer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string KeyText(const TFtpCtrlSocket* Client) {
    return DataKeyText(Client->EncryptionKey);
}

} // namespace

TRSA& TFtpServer::PeerKeyObject() {
    if (Keys != nullptr)
        return Keys->RSA2;
    if (!ownPeerKey_)
        ownPeerKey_ = std::make_unique<TRSA>();
    return *ownPeerKey_;
}

TRSA* TFtpServer::OwnPair() const {
    return Keys != nullptr && Keys->RSA1.PrivateKeyLoaded() ? &Keys->RSA1 : nullptr;
}

void TFtpServer::LogLine(const std::string& text, TColor colour) {
    if (Log)
        Log(logServer, text, colour);
}

bool TFtpServer::PeerKeyLoads(TFtpCtrlSocket* Client, std::string& error) {
    try {
        TRSA& rsa = PeerKeyObject();
        LoadPeerKey(rsa, Client->PublicKey, Client->PublicKeyLength, Client->PublicKeyBits);
        // A key whose size does not match its announcement fails here.
        rsa.EncryptString(replies::kPublicKeyAnswer);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

void TFtpServer::CommandPUBK(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcPUBK;
    // The fields are cut by position: the last 4 characters are the key
    // size, the 3 before them the symmetric length, the rest the key text.
    const std::string s = Trim(Params);
    const std::size_t n = s.size();
    Client->PublicKeyBits = n >= 4 ? s.substr(n - 4) : s;
    Client->PublicKeyLength = n >= 7 ? s.substr(n - 7, 3) : std::string();
    Client->PublicKey = n > 7 ? s.substr(0, n - 7) : std::string();
    std::string error;
    // The pair is read now, so a pair generated while running is announced.
    const std::string ownKey = Keys != nullptr ? Keys->PublicKeyText() : std::string();
    if (ownKey.empty()) {
        // Without a key of our own, replies stay plain.
        Client->PublicKey.clear();
    } else if (!Client->PublicKey.empty() && !PeerKeyLoads(Client, error)) {
        // A key that does not load is no key: the answer must stay readable.
        LogLine(FormatReply(replies::kPeerKeyRejected, {Client->PeerAddr, error}), colours::clRed);
        Client->PublicKey.clear();
    }
    Client->FtpState = ftpcWaitingUserCode;
    Answer = FormatReply(replies::kPublicKeyAnswer,
                         {Keys != nullptr ? Keys->Announcement() : std::string()});
}

void TFtpServer::EncipherAnswer(TFtpCtrlSocket* Client, std::string& Answer) {
    try {
        TRSA& rsa = PeerKeyObject();
        // The peer-key object may serve others between two replies: reload.
        LoadPeerKey(rsa, Client->PublicKey, Client->PublicKeyLength, Client->PublicKeyBits);
        Answer = rsa.EncryptString(Answer);
    } catch (const std::exception& e) {
        LogLine(FormatReply(replies::kReplyNotEnciphered, {Client->PeerAddr, e.what()}),
                colours::clRed);
        Client->PublicKey.clear();
    }
}

bool TFtpServer::IsKeyFileRequest(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name == replies::kKeyFileRequest;
}

void TFtpServer::OpenKeyFile(TFtpCtrlSocket* Client) {
    // No key for this account: nothing is opened and the transfer is empty.
    Client->FilePath.clear();
    if (Client->EncryptionKey.empty())
        return;
    Client->EncryptionKey = KeyText(Client);
    const TKeyFile file = MakeKeyFile(Client->EncryptionKey, keyFileRandom_);
    const std::string dir = WithTrailingSlash(
        ProgramDirectory.empty() ? std::string(kDefaultHomeDir) : ProgramDirectory);
    const std::string path = dir + std::to_string(Client->HSocket()) + replies::kKeyFileSuffix;
    // SECURITY: the key file is never written through a symbolic link.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = fd >= 0;
    int error = errno;
    std::size_t done = 0;
    while (written && done < file.size()) {
        const ssize_t n = ::write(fd, file.data() + done, file.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = errno;
            written = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (fd >= 0)
        ::close(fd);
    if (!written) {
        // The client sees a failed or empty download and takes its failure path.
        LogLine(FormatReply(replies::kKeyFileWriteFailed, {path, SystemErrorText(error)}),
                colours::clRed);
        return;
    }
    Client->KeyFileSent = true;
    Client->FilePath = path;
    Client->DataStream.OpenRead(path, 0, false);
    Client->HasOpenedFile = true;
}

void TFtpServer::StartDownloadCipher(TFtpCtrlSocket* Client) {
    Client->DownloadCipher.reset();
    if (Client->EncryptionActive && !Client->EncryptionKey.empty())
        Client->DownloadCipher = std::make_unique<TBlowfishSession>(KeyText(Client));
}

void TFtpServer::StartUploadDecipher(TFtpCtrlSocket* Client) {
    Client->UploadDecipher.reset();
    if (Client->EncryptionActive && !Client->EncryptionKey.empty())
        Client->UploadDecipher =
            std::make_unique<TChunkDecipher>(KeyText(Client), kClientToServerChunk);
}

void TFtpServer::WriteUploadTail(TFtpCtrlSocket* Client) {
    if (!Client->UploadDecipher)
        return;
    const std::string tail = Client->UploadDecipher->Finish();
    Client->UploadDecipher.reset();
    if (tail.empty() || Client->AbortingTransfer)
        return;
    try {
        OpenUploadFile(Client);
        Client->DataStream.Write(tail.data(), static_cast<long long>(tail.size()));
    } catch (const std::exception& e) {
        Client->TransferError = e.what();
        Client->AbortingTransfer = true;
    }
}
