#include "tools/FtpExitStatus.h"

#include "accounts/AccountTexts.h"
#include "ftpclient/ClientTexts.h"
#include "tools/FtpExitCodes.h"

#include <string>

namespace {
bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool MovesData(TFtpRequest request) {
    switch (request) {
    case ftpGet:
    case ftpRestGet:
    case ftpPut:
    case ftpAppend:
    case ftpRestPut:
    case ftpDir:
    case ftpLs:
        return true;
    default:
        return false;
    }
}
} // namespace

int LoginExitStatus(SessionFailure failure, bool timedOut) {
    if (timedOut)
        return ftp_exit::kTimeout;
    switch (failure) {
    case SessionFailure::Login:
        return ftp_exit::kLogin;
    case SessionFailure::Encryption:
        return ftp_exit::kEncryption;
    default:
        // No connection, or one that closed before the session was usable.
        return ftp_exit::kConnection;
    }
}

bool EncryptionRefusal(const std::string& text) {
    return text.find(accounts::texts::kEncryptedOnlyText) != std::string::npos;
}

int CommandExitStatus(const TransferResult& r, bool timedOut, bool connected,
                      const std::string& lastReply) {
    using namespace ftpclient_texts;
    if (timedOut)
        return ftp_exit::kTimeout;
    const std::string& m = r.ErrorMessage;
    if (EncryptionRefusal(m) || EncryptionRefusal(r.Reply) || EncryptionRefusal(lastReply))
        return ftp_exit::kEncryption;
    if (r.Error == kLocalFileFailed || StartsWith(m, kCannotOpenLocalFile) ||
        StartsWith(m, kLocalWriteFailed) || StartsWith(m, kLocalReadFailed) ||
        StartsWith(m, kCannotReplaceLocalFile))
        return ftp_exit::kLocal;
    // A server that closes the session (421) has ended the connection.
    if (r.Error == 421 || r.ReplyCode == 421 || StartsWith(m, "421"))
        return ftp_exit::kConnection;
    // A data connection that could not be opened.
    if (StartsWith(m, kDataConnectionError) || StartsWith(m, kBadPassiveReply) ||
        (MovesData(r.Request) && r.Error == 425))
        return ftp_exit::kConnection;
    // A data connection that broke, a download short of its size, a
    // transfer the server or the user aborted.
    if (MovesData(r.Request) && (r.Error == 426 || r.Error >= 10000))
        return ftp_exit::kCutShort;
    if (!connected || r.Error >= 10000)
        return ftp_exit::kConnection;
    if (r.Error >= 400 && r.Error < 600)
        return ftp_exit::kRemote;
    return ftp_exit::kFailed;
}
