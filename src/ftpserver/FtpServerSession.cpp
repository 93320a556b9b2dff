// Login, directory and informational commands.
#include "base/Version.h"
#include "ftpserver/FtpServer.h"

#include <QPointer>

void TFtpServer::CommandUSER(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcUSER;
    Client->UserName = Trim(Params);
    Client->FtpState = ftpcWaitingPassword;
    // A new login must confirm its own account's key: the data channel of
    // the previous login does not carry over.
    Client->KeyFileSent = false;
    Client->EncryptionActive = false;
    Answer = FormatReply(replies::kPasswordRequired, {Client->UserName});
}

void TFtpServer::CommandPASS(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    if (Client->FtpState != ftpcWaitingPassword) {
        Answer = replies::kLoginWithUserFirst;
        return;
    }
    Client->CurCmdType = ftpcPASS;
    Client->PassWord = Trim(Params);
    bool authenticated = true;
    if (OnAuthenticate)
        OnAuthenticate(this, Client, Client->UserName, Client->PassWord, authenticated);
    if (!authenticated) {
        Client->FtpState = ftpcWaitingUserCode;
        TLoginFailure failure;
        if (OnLoginFailed)
            OnLoginFailed(this, Client, failure);
        if (failure.DelayMs > 0) {
            DeferAnswer(Client, replies::kLoginIncorrect, failure.DelayMs, failure.Close);
            return;
        }
        Answer = replies::kLoginIncorrect;
        if (failure.Close) {
            // The reply goes out, then the connection ends; no further line
            // of this client is run.
            Client->HoldReplies(true);
            QueueCloseRequest(Client);
        }
        return;
    }
    Client->FtpState = ftpcReady;
    Client->LoginCompleted = true;
    // The home folder is kept as it is reached now, the way CWD keeps the
    // folder it judged: a link swapped into its place later is not home.
    Client->Directory = WithTrailingSlash(CanonicalPath(Client->HomeDir, true));
    Client->HomeDir = Client->Directory;
    Answer = FormatReply(replies::kLoggedIn, {Client->UserName});
}

void TFtpServer::DeferAnswer(TFtpCtrlSocket* Client, const std::string& Answer, std::int64_t ms,
                             bool closeAfter) {
    // SECURITY: a password guesser waits for its answer and cannot send the
    // next guess on this connection meanwhile; the loop serves everyone else.
    Client->HoldReplies(true);
    QPointer<TFtpCtrlSocket> guard(Client);
    Clock->After(ms, Client, [this, guard, Answer, closeAfter] {
        // A client dropped meanwhile (login time-out, kick) gets nothing more.
        if (!guard || !IsClient(guard) || guard->State() != wsConnected)
            return;
        SendAnswer(guard, Answer);
        if (closeAfter)
            QueueCloseRequest(guard);
        else
            guard->HoldReplies(false);
    });
}

void TFtpServer::ChangeDirectory(TFtpCtrlSocket* Client, const std::string& Params,
                                 std::string& Answer) {
    try {
        std::string name = ClientName(Params);
        for (const auto& link : PermaLinkTable)
            if (!link.DirPath.empty() && link.LinkName == name)
                name = link.DirPath;
        const std::string mapped = ResolveVirtualName(VirtMapTable, Client->Directory, name);
        const std::string directory = SetDirectoryPath(Client->Directory, mapped);
        // The owner sees the directory the client is in and the one it asks for.
        bool allowed = true;
        if (OnChangeDirectory)
            OnChangeDirectory(this, Client, directory, allowed);
        if (allowed) {
            Client->Directory = directory;
            Answer = FormatReply(replies::kCwdOk, {name});
        } else {
            Answer = FormatReply(replies::kCwdFailed, {replies::kNoPermission});
        }
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kCwdFailed, {e.what()});
    }
}

void TFtpServer::CommandCWD(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                            std::string& Answer) {
    Client->CurCmdType = ftpcCWD;
    ChangeDirectory(Client, Params, Answer);
}

void TFtpServer::CommandCDUP(TFtpCtrlSocket* Client, std::string&, std::string&,
                             std::string& Answer) {
    Client->CurCmdType = ftpcCDUP;
    ChangeDirectory(Client, "..", Answer);
}

void TFtpServer::CommandXPWD(TFtpCtrlSocket* Client, std::string&, std::string&,
                             std::string& Answer) {
    Client->CurCmdType = ftpcXPWD;
    Answer = FormatReply(replies::kPwd, {ShowVirtMap(VirtMapTable, Client->Directory)});
}

void TFtpServer::CommandPWD(TFtpCtrlSocket* Client, std::string&, std::string&,
                            std::string& Answer) {
    Client->CurCmdType = ftpcPWD;
    Answer = FormatReply(replies::kPwd, {ShowVirtMap(VirtMapTable, Client->Directory)});
}

void TFtpServer::CommandSYST(TFtpCtrlSocket* Client, std::string&, std::string&,
                             std::string& Answer) {
    Client->CurCmdType = ftpcSYST;
    // After the key file went out, this is what switches data encryption on.
    Client->EncryptionActive = Client->KeyFileSent;
    Answer = std::string(replies::kSyst) + kVersionText;
    if (Client->EncryptionActive)
        Answer += replies::kEncryptionEnabled;
}

void TFtpServer::CommandTYPE(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcTYPE;
    const std::string type = UpperCase(Trim(Params));
    if (type != "A" && type != "I")
        Answer = FormatReply(replies::kTypeBad, {Params});
    else
        Answer = FormatReply(replies::kTypeOk, {Params});
}

void TFtpServer::CommandSTRU(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcSTRU;
    Answer = FormatReply(replies::kStru, {Params});
}

void TFtpServer::CommandNOOP(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcNOOP;
    Answer = FormatReply(replies::kNoop, {Params});
}

void TFtpServer::CommandQUIT(TFtpCtrlSocket* Client, std::string&, std::string&,
                             std::string& Answer) {
    Client->CurCmdType = ftpcQUIT;
    Answer = replies::kGoodbye;
    QueueCloseRequest(Client);
}
