#include "ftpserver/FtpServer.h"
#include "crypto/KeyAnnouncement.h"
#include "crypto/TRSA.h"

#include "base/ControlBytes.h"

#include <QMetaObject>

#include <unistd.h>

#include <algorithm>

TFtpServer::TFtpServer(QObject* parent)
    : QObject(parent), serverSocket_(std::make_unique<TWSocket>()) {
    serverSocket_->setObjectName("ServerWSocket");
    // Table order decides nothing but lookup order; the login column is
    // checked by the dispatcher so no handler repeats it.
    AddCommand("PORT", &TFtpServer::CommandPORT, true, true);
    AddCommand("STOR", &TFtpServer::CommandSTOR, true, true);
    AddCommand("RETR", &TFtpServer::CommandRETR, true, true);
    AddCommand("CWD", &TFtpServer::CommandCWD, true);
    AddCommand("XPWD", &TFtpServer::CommandXPWD, true);
    AddCommand("PWD", &TFtpServer::CommandPWD, true);
    AddCommand("USER", &TFtpServer::CommandUSER, false);
    AddCommand("PASS", &TFtpServer::CommandPASS, false);
    AddCommand("PUBK", &TFtpServer::CommandPUBK, false);
    AddCommand("LIST", &TFtpServer::CommandLIST, true, true);
    AddCommand("NLST", &TFtpServer::CommandNLST, true, true);
    AddCommand("TYPE", &TFtpServer::CommandTYPE, true);
    AddCommand("SYST", &TFtpServer::CommandSYST, true);
    AddCommand("QUIT", &TFtpServer::CommandQUIT, false);
    AddCommand("DELE", &TFtpServer::CommandDELE, true);
    AddCommand("SIZE", &TFtpServer::CommandSIZE, true);
    AddCommand("REST", &TFtpServer::CommandREST, true);
    AddCommand("RNFR", &TFtpServer::CommandRNFR, true);
    AddCommand("RNTO", &TFtpServer::CommandRNTO, true);
    AddCommand("MKD", &TFtpServer::CommandMKD, true);
    AddCommand("RMD", &TFtpServer::CommandRMD, true);
    AddCommand("ABOR", &TFtpServer::CommandABOR, false);
    AddCommand("PASV", &TFtpServer::CommandPASV, true, true);
    AddCommand("NOOP", &TFtpServer::CommandNOOP, false);
    AddCommand("CDUP", &TFtpServer::CommandCDUP, true);
    AddCommand("APPE", &TFtpServer::CommandAPPE, true, true);
    AddCommand("STRU", &TFtpServer::CommandSTRU, false);
    AddCommand("XMKD", &TFtpServer::CommandMKD, true);
    AddCommand("XRMD", &TFtpServer::CommandRMD, true);
    // SECURITY: MDTM would tell anyone the time of any file; it needs a login.
    AddCommand("MDTM", &TFtpServer::CommandMDTM, true);
    // Extensions; FEAT and OPTS come before a login, as clients ask them first.
    AddCommand("FEAT", &TFtpServer::CommandFEAT, false);
    AddCommand("OPTS", &TFtpServer::CommandOPTS, false);
    AddCommand("EPSV", &TFtpServer::CommandEPSV, true, true);
    AddCommand("EPRT", &TFtpServer::CommandEPRT, true, true);
    AddCommand("MLSD", &TFtpServer::CommandMLSD, true, true);
    AddCommand("MLST", &TFtpServer::CommandMLST, true);
    AddCommand("MFMT", &TFtpServer::CommandMFMT, true);
    timeLimitTimer_.setInterval(1000);
    QObject::connect(&timeLimitTimer_, &QTimer::timeout, this, [this] { CheckTimeLimits(1); });
    timeLimitTimer_.start();
}

TFtpServer::~TFtpServer() {
    destroying_ = true;
    serverSocket_->OnChangeState = nullptr;
    serverSocket_->OnSessionAvailable = nullptr;
    for (auto* list : {&clients_, &detached_}) {
        for (TFtpCtrlSocket* client : *list) {
            client->OnSessionClosed = nullptr;
            delete client;
        }
        list->clear();
    }
}

void TFtpServer::AddCommand(const std::string& keyword, TCommandHandler handler, bool needsLogin,
                            bool oneTransfer) {
    if (static_cast<int>(commandTable_.size()) >= kCommandSlots)
        throw FtpServerException(replies::kTooManyCommand);
    commandTable_.push_back({keyword, handler, needsLogin, oneTransfer});
}

void TFtpServer::Start() {
    if (serverSocket_->State() == wsListening)
        return;
    serverSocket_->SetPort(Port);
    serverSocket_->SetProto("tcp");
    serverSocket_->SetAddr(Addr);
    serverSocket_->OnSessionAvailable = [this](TCustomWSocket*, int Error) {
        ServerSessionAvailable(Error);
    };
    serverSocket_->OnChangeState = [this](TCustomWSocket*, TSocketState OldState,
                                          TSocketState NewState) {
        ServerChangeState(OldState, NewState);
    };
    // SECURITY: nothing a connecting client does may close the listener;
    // only Stop and a fault of the listening handle itself end listening.
    serverSocket_->OnBgException = [this](TCustomWSocket*, const std::exception& E,
                                          bool& CanClose) {
        CanClose = false;
        LogLine(FormatReply(replies::kConnectionDropped, {OneLineMessage(E.what())}),
                colours::clRed);
    };
    try {
        serverSocket_->Listen();
    } catch (const ESocketException&) {
        // A system without IPv6 listens for IPv4 clients as before.
        const int code = serverSocket_->LastError();
        if (Addr != "::" || (code != wsa::WSAEAFNOSUPPORT && code != wsa::WSAEADDRNOTAVAIL &&
                             code != wsa::WSAEPROTONOSUPPORT))
            throw;
        serverSocket_->SetAddr("0.0.0.0");
        serverSocket_->Listen();
    }
}

void TFtpServer::Stop() {
    serverSocket_->Close();
}

bool TFtpServer::Active() const {
    return serverSocket_->State() == wsListening;
}

std::string TFtpServer::ListeningPort() {
    return serverSocket_->GetXPort();
}

void TFtpServer::DisconnectAll() {
    const std::vector<TFtpCtrlSocket*> all = clients_;
    clients_.clear();
    detached_.insert(detached_.end(), all.begin(), all.end());
    for (TFtpCtrlSocket* client : all) {
        if (client->State() != wsClosed)
            client->Close(); // its close queues the disconnect and the free
        else
            QueueClientClosed(client);
    }
}

void TFtpServer::ServerChangeState(TSocketState /*OldState*/, TSocketState NewState) {
    if (destroying_)
        return;
    if (NewState == wsListening && OnStart)
        OnStart(this);
    else if (NewState == wsClosed && OnStop)
        OnStop(this);
}

bool TFtpServer::IsClient(TFtpCtrlSocket* Client) const {
    return std::find(clients_.begin(), clients_.end(), Client) != clients_.end();
}

void TFtpServer::ServerSessionAvailable(int Error) {
    if (Error != 0) {
        LogLine(replies::kSessionAvailableError + std::to_string(Error), colours::clRed);
        return;
    }
    int handle = -1;
    try {
        handle = serverSocket_->Accept();
    } catch (const ESocketException&) {
        // Out of descriptors the listener pauses and tries again by itself
        // (see Accept); it never stops. A fault of the listening handle
        // itself ends listening; any other failure concerns only the
        // connection that went away before it was taken.
        const int code = serverSocket_->LastError();
        if (WSocketIsResourceShortage(code) && !acceptShortage_) {
            acceptShortage_ = true;
            LogLine(FormatReply(replies::kAcceptPaused, {WSocketErrorDesc(code)}), colours::clRed);
        } else if (WSocketIsListenerFault(code)) {
            ListenerFailed(WSocketErrorDesc(code));
        }
        return;
    }
    if (handle < 0)
        return;
    acceptShortage_ = false;
    // SECURITY: whatever fails while one connection is taken (a peer that
    // reset before it was accepted has no address any more) drops that
    // connection only; the listener goes on listening.
    try {
        TakeConnection(handle);
    } catch (const std::exception& e) {
        LogLine(FormatReply(replies::kConnectionDropped, {OneLineMessage(e.what())}),
                colours::clRed);
    }
}

void TFtpServer::ListenerFailed(const std::string& reason) {
    LogLine(FormatReply(replies::kListenerFailed, {reason}), colours::clRed);
    try {
        serverSocket_->Close();
    } catch (const std::exception&) {
    }
    if (OnListenerFailed)
        OnListenerFailed(this, reason);
}

void TFtpServer::TakeConnection(int handle) {
    auto client = std::make_unique<TFtpCtrlSocket>();
    // A graceful close lets the last reply (221, 421) reach the client.
    client->SetLingerOnOff(wsLingerNoSet);
    try {
        client->Dup(handle);
    } catch (const std::exception&) {
        ::close(handle);
        throw;
    }
    // The client owns the handle from here: freeing it closes the handle.
    client->PeerAddr = client->GetPeerAddr();
    client->PeerPort = client->GetPeerPort();
    ++clientCounter_;
    client->setObjectName(QString("ClientWSocket%1").arg(clientCounter_));
    client->DataSocket->setObjectName(QString("DataWSocket%1").arg(clientCounter_));
    client->Banner = Banner;
    client->OnCommand = [this](TFtpCtrlSocket* c, const char* buf, int len) {
        ClientCommand(c, buf, len);
    };
    client->OnLineTooLong = [this](TFtpCtrlSocket* c) { ClientLineTooLong(c); };
    client->OnSessionClosed = [this](TCustomWSocket* s, int) {
        QueueClientClosed(static_cast<TFtpCtrlSocket*>(s));
    };
    client->OnDataSent = [this](TCustomWSocket* s, int) {
        ClientDataSent(static_cast<TFtpCtrlSocket*>(s));
    };
    TFtpCtrlSocket* taken = client.release();
    clients_.push_back(taken);
    // From here the client is known to the owner: a failure closes it and
    // its close is handled as any other.
    try {
        if (OnClientConnect)
            OnClientConnect(this, taken, 0);
        // The owner may have refused it, closing it or sending a last reply.
        if (!IsClient(taken) || taken->State() != wsConnected || taken->SentAway())
            return;
        if (MaxClients > 0 && MaxClients < ClientCount()) {
            taken->Banner = replies::kTooManyUsers;
            taken->StartConnection();
            QueueCloseRequest(taken);
            return;
        }
        taken->StartConnection();
    } catch (const std::exception&) {
        if (IsClient(taken) && taken->State() != wsClosed)
            taken->Close();
        else if (IsClient(taken))
            QueueClientClosed(taken);
        throw;
    }
}

std::string TFtpServer::DecipherLine(const std::string& line) {
    TRSA* pair = OwnPair();
    if (pair == nullptr)
        throw FtpServerException(replies::kNoDecipherKey);
    return pair->DecryptString(line);
}

void TFtpServer::ClientCommand(TFtpCtrlSocket* Client, const char* CmdBuf, int CmdLen) {
    if (CmdLen == 1) {
        Client->Close();
        return;
    }
    // Telnet sequences go first: ciphertext never holds byte 255, and a
    // client's "IAC IP IAC DM ABOR" then still reads as the command it is.
    std::string line = RemoveTelnetSequences(std::string(CmdBuf, static_cast<std::size_t>(CmdLen)));
    // SECURITY: a NUL byte would end a path early at the system call, so a
    // check would judge one path and the call act on another ("RMD \0x"
    // removing the current folder). Such a line reaches no handler, plain or
    // enciphered.
    const auto holdsNul = [](const std::string& text) {
        return text.find('\0') != std::string::npos;
    };
    if (holdsNul(line)) {
        SendAnswer(Client, replies::kSyntaxError);
        return;
    }
    // A ciphertext may begin like a command; its form tells it apart.
    const TRSA* pair = OwnPair();
    const bool cipherShaped = pair != nullptr && IsWellFormedCiphertext(line, pair->ModulusBytes());
    if ((!IsPlainLine(line) && line.size() > 5) || cipherShaped) {
        try {
            line = DecipherLine(line);
        } catch (...) {
            return; // not ours to read: dropped without a reply
        }
        if (holdsNul(line)) {
            SendAnswer(Client, replies::kSyntaxError);
            return;
        }
    }
    std::string answer;
    try {
        std::string keyword, params;
        SplitCommand(line, keyword, params);
        // SECURITY: a CR or LF in an argument (possible once a line is
        // deciphered) would forge log lines and make names that split into
        // false entries in listings; escape codes would drive the terminal
        // that shows the log. No argument holds a control byte.
        if (HoldsControlByte(params)) {
            SendAnswer(Client, replies::kSyntaxError);
            return;
        }
        if (OnClientCommand)
            OnClientCommand(this, Client, keyword, params, answer);
        if (!answer.empty()) {
            SendAnswer(Client, answer);
            return;
        }
        if (keyword.empty()) {
            answer = FormatReply(replies::kNotUnderstood, {params});
        } else {
            auto slot = std::find_if(commandTable_.begin(), commandTable_.end(),
                                     [&](const TCommandSlot& s) { return s.Keyword == keyword; });
            if (slot == commandTable_.end())
                answer = FormatReply(replies::kNotUnderstood, {keyword});
            else if (slot->NeedsLogin && Client->FtpState != ftpcReady)
                answer = replies::kPleaseLogin;
            else if (slot->OneTransfer && Client->TransferReplyPending)
                answer = replies::kTransferInProgress; // the running transfer goes on
            else
                (this->*(slot->Handler))(Client, keyword, params, answer);
        }
    } catch (const std::exception& e) {
        answer = std::string(replies::kExceptionPrefix) + e.what();
    }
    if (!answer.empty())
        SendAnswer(Client, answer);
}

void TFtpServer::ClientLineTooLong(TFtpCtrlSocket* Client) {
    SendAnswer(Client, replies::kLineTooLong);
}

void TFtpServer::SendAnswer(TFtpCtrlSocket* Client, std::string Answer) {
    if (Client->SentAway())
        return;
    if (OnAnswerToClient)
        OnAnswerToClient(this, Client, Answer);
    // Encrypted session: a client that sent its key gets enciphered replies.
    if (!Client->PublicKey.empty()) {
        if (AnswerCipher)
            AnswerCipher(Client, Answer);
        else
            EncipherAnswer(Client, Answer);
    }
    if (Client->State() != wsConnected)
        return;
    try {
        Client->SendStr(Answer + "\r\n");
    } catch (const std::exception&) {
        // The connection is going away; its close is reported separately.
    }
}

void TFtpServer::ClientDataSent(TFtpCtrlSocket* Client) {
    if (Client->CloseRequest) {
        Client->CloseRequest = false;
        QueueCloseRequest(Client);
    }
}

void TFtpServer::QueueCloseRequest(TFtpCtrlSocket* Client) {
    QPointer<TFtpCtrlSocket> guard(Client);
    QMetaObject::invokeMethod(
        this,
        [this, guard] {
            if (guard)
                HandleCloseRequest(guard);
        },
        Qt::QueuedConnection);
}

void TFtpServer::HandleCloseRequest(TFtpCtrlSocket* Client) {
    if (Client->State() == wsClosed)
        return;
    if (Client->AllSent())
        Client->Close();
    else
        Client->CloseRequest = true;
}

void TFtpServer::QueueClientClosed(TFtpCtrlSocket* Client) {
    QPointer<TFtpCtrlSocket> guard(Client);
    QMetaObject::invokeMethod(
        this,
        [this, guard] {
            if (guard)
                HandleClientClosed(guard);
        },
        Qt::QueuedConnection);
}

void TFtpServer::HandleClientClosed(TFtpCtrlSocket* Client) {
    for (auto* list : {&clients_, &detached_}) {
        auto it = std::find(list->begin(), list->end(), Client);
        if (it != list->end())
            list->erase(it);
    }
    Client->OnSessionClosed = nullptr;
    if (OnClientDisconnect)
        OnClientDisconnect(this, Client, 0);
    delete Client;
}

void TFtpServer::QueueAbortData(TFtpCtrlSocket* Client) {
    QPointer<TFtpCtrlSocket> guard(Client);
    QMetaObject::invokeMethod(
        this,
        [guard] {
            if (!guard)
                return;
            TWSocket* data = guard->DataSocket.get();
            data->Shutdown(2);
            data->Close();
        },
        Qt::QueuedConnection);
}

void TFtpServer::QueueCloseData(TFtpCtrlSocket* Client, int countdown) {
    QPointer<TFtpCtrlSocket> guard(Client);
    QMetaObject::invokeMethod(
        this,
        [this, guard, countdown] {
            if (!guard)
                return;
            if (countdown > 0)
                QueueCloseData(guard, countdown - 1);
            else
                guard->DataSocket->Close();
        },
        Qt::QueuedConnection);
}

void TFtpServer::CheckIdleClients(int elapsed, int timeout, std::string& message) {
    message.clear();
    const std::vector<TFtpCtrlSocket*> all = clients_;
    for (TFtpCtrlSocket* client : all) {
        client->IdleSeconds += elapsed;
        if (client->IdleSeconds <= timeout)
            continue;
        message =
            FormatReply(replies::kIdleDisconnect, {client->UserName, client->PeerAddr,
                                                   client->PeerPort, std::to_string(timeout)});
        DropClient(client, replies::kIdleGoodbye);
    }
}

void TFtpServer::DropClient(TFtpCtrlSocket* Client, const char* goodbye) {
    clients_.erase(std::find(clients_.begin(), clients_.end(), Client));
    detached_.push_back(Client);
    try {
        if (Client->State() == wsConnected)
            Client->SendReplyLine(goodbye);
    } catch (const std::exception&) {
    }
    Client->CloseTransferSource();
    Client->CloseDelayed();
}

void TFtpServer::CheckTimeLimits(int elapsed) {
    const std::vector<TFtpCtrlSocket*> all = clients_;
    for (TFtpCtrlSocket* client : all) {
        if (!client->LoginCompleted) {
            client->LoginSeconds += elapsed;
            // SECURITY: connections count against the user limit before they
            // log in; silent ones would otherwise lock everyone out.
            if (client->LoginSeconds > kLoginTimeLimit) {
                LogLine(FormatReply(replies::kLoginTimeoutLog, {client->PeerAddr, client->PeerPort,
                                                                std::to_string(kLoginTimeLimit)}),
                        colours::clGreen);
                DropClient(client, replies::kLoginTimeout);
                continue;
            }
        }
        if (client->PassiveStart && !client->PassiveConnected && client->TransferReplyPending) {
            client->PassiveWaitSeconds += elapsed;
            if (client->PassiveWaitSeconds > kPassiveWaitLimit)
                FailPassiveTransfer(client);
        }
    }
}
