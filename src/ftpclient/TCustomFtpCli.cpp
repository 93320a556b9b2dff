// Control connection, requests, sequences and reply handling of the client
// engine. The data-connection half lives in FtpDataTransfer.cpp.
#include "ftpclient/TCustomFtpCli.h"

#include "ftpclient/ClientTexts.h"
#include "ftpclient/FtpCipherHooks.h"
#include "ftpclient/ReplyParsing.h"
#include "net/SocketResolve.h"
#include "net/TWSocket.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <unistd.h>

using namespace ftpclient_texts;
using enum TFtpState;

TCustomFtpCli::TCustomFtpCli(QObject* parent)
    : QObject(parent), control_(std::make_unique<TWSocket>()), data_(std::make_unique<TWSocket>()) {
    control_->OnDnsLookupDone = [this](TCustomWSocket*, int e) { ControlDnsDone(e); };
    control_->OnSessionConnected = [this](TCustomWSocket*, int e) { ControlConnected(e); };
    control_->OnDataAvailable = [this](TCustomWSocket*, int e) { ControlDataAvailable(e); };
    control_->OnSessionClosed = [this](TCustomWSocket*, int e) { ControlClosed(e); };
    auto bg = [this](TCustomWSocket*, const std::exception& e, bool& canClose) {
        canClose = false; // the engine decides below what to close
        HandleBackgroundException(e);
    };
    control_->OnBgException = bg;
    data_->OnBgException = bg;
    auto socksError = [this](TCustomWSocket*, int, const std::string& msg) { socksReason_ = msg; };
    control_->OnSocksError = socksError;
    data_->OnSocksError = socksError;
    // The data socket's handlers stay attached for the client's whole life;
    // which transfer phase they serve is decided by the engine's own fields,
    // so a handler is never replaced while it runs.
    // Port mode: a server may open the data connection as soon as it has
    // accepted PORT, before the transfer command; the accept does not depend
    // on which step runs.
    data_->OnSessionAvailable = [this](TCustomWSocket*, int e) { DataSessionAvailable(e); };
    data_->OnSessionConnected = [this](TCustomWSocket*, int e) { DataConnected(e); };
    data_->OnDataAvailable = [this](TCustomWSocket*, int e) { DataAvailable(e); };
    data_->OnDataSent = [this](TCustomWSocket*, int e) {
        if (transfer_.phase == DataPhase::Open && !transfer_.receiving)
            SendNextBlock(e);
    };
    data_->OnSessionClosed = [this](TCustomWSocket*, int e) {
        if (transfer_.phase != DataPhase::Open)
            return;
        transfer_.phase = DataPhase::Idle;
        if (transfer_.receiving)
            ReceiveClosedHandler(e);
        else
            SendClosedHandler(e);
    };
    ioBuffer_.resize(kIoBlock);
    replyTimer_ = new QTimer(this);
    replyTimer_->setSingleShot(true);
    connect(replyTimer_, &QTimer::timeout, this, [this] { ReplyTimedOut(); });
}

TCustomFtpCli::~TCustomFtpCli() {
    transfer_.phase = DataPhase::Idle;
    // Destruction must not call back into a half-destroyed engine.
    control_->OnSessionClosed = nullptr;
    control_->OnDnsLookupDone = nullptr;
    data_->OnSessionClosed = nullptr;
    ReleaseLocalFile();
    DiscardPartialCopy();
}

// ---------------------------------------------------------------- settings

void TCustomFtpCli::SetShareMode(int mode) {
    switch (mode) {
    case ftpShareCompat:
    case ftpShareExclusive:
    case ftpShareDenyWrite:
    case ftpShareDenyRead:
    case ftpShareDenyNone:
        shareMode_ = static_cast<TFtpShareMode>(mode);
        break;
    default:
        shareMode_ = ftpShareExclusive;
    }
}

void TCustomFtpCli::SetConnectionType(int type) {
    if (Connected())
        throw FtpException(kConnectedNoChange);
    switch (type) {
    case ftpProxy:
    case ftpSocks4:
    case ftpSocks4A:
    case ftpSocks5:
        connectionType_ = static_cast<TFtpConnectionType>(type);
        usePassive_ = true;
        break;
    default:
        connectionType_ = ftpDirect;
    }
}

void TCustomFtpCli::SetUsePassive(bool on) {
    usePassive_ = connectionType_ == ftpDirect ? on : true;
}

void TCustomFtpCli::SetSocksServer(const std::string& host) {
    socksServer_ = host;
}
void TCustomFtpCli::SetSocksPort(const std::string& port) {
    socksPort_ = port;
}
void TCustomFtpCli::SetSocksUserCode(const std::string& user) {
    socksUser_ = user;
}
void TCustomFtpCli::SetSocksPassword(const std::string& password) {
    socksPassword_ = password;
}

bool TCustomFtpCli::IsSocks() const {
    return connectionType_ == ftpSocks4 || connectionType_ == ftpSocks4A ||
           connectionType_ == ftpSocks5;
}

void TCustomFtpCli::ApplySocks(TWSocket& socket) {
    // A socket forgets its proxy whenever it closes, so it is set again
    // before every connection.
    if (!IsSocks()) {
        socket.SetSocksServer("");
        return;
    }
    // The proxy's address as looked up at connect time (the name itself
    // until then): the socket never has to look up a name on its own.
    socket.SetSocksServer(socksAddress_.empty() ? socksServer_ : socksAddress_);
    socket.SetSocksPort(socksPort_);
    socket.SetSocksLevel(connectionType_ == ftpSocks4    ? "4"
                         : connectionType_ == ftpSocks4A ? "4A"
                                                         : "5");
    socket.SetSocksUsercode(socksUser_);
    socket.SetSocksPassword(socksPassword_);
    socket.SetSocksAuthentication(socksUser_.empty() ? socksNoAuthentication
                                                     : socksAuthenticateUsercode);
}

bool TCustomFtpCli::Connected() const {
    return control_->State() != wsClosed;
}

// ---------------------------------------------------------------- events

void TCustomFtpCli::SetState(TFtpState s) {
    const bool waiting = s == ftpcResolving || s == ftpcAwaitingGreeting || s == ftpcAwaitingReply;
    if (!waiting)
        replyTimer_->stop();
    else if (state_ != s || s == ftpcAwaitingReply)
        RestartReplyTimer(); // each command sent waits afresh
    if (state_ == s)
        return;
    state_ = s;
    if (OnStateChange)
        OnStateChange(this);
}

void TCustomFtpCli::TriggerDisplay(const std::string& msg) {
    if (OnDisplay)
        OnDisplay(this, msg);
}

void TCustomFtpCli::TriggerDisplayFile(const std::string& msg) {
    if (OnDisplayFile)
        OnDisplayFile(this, msg);
}

void TCustomFtpCli::RestartReplyTimer() {
    if (Timeout > 0)
        replyTimer_->start(std::min(Timeout, INT_MAX / 1000) * 1000);
    else
        replyTimer_->stop();
}

void TCustomFtpCli::ReplyTimedOut() {
    const std::string peer = HostName + ":" + Port;
    std::string text;
    switch (state_) {
    case ftpcResolving:
    case ftpcAwaitingGreeting:
        text = (login_.connected ? kNoGreetingPrefix : kNoConnectionPrefix) + peer;
        break;
    case ftpcAwaitingReply:
        text = kNoReplyPrefix + lastVerb_ + kNoReplyFrom + peer;
        break;
    default:
        return;
    }
    text += WithinSeconds(Timeout);
    TriggerDisplay(text);
    // The server's state is unknown now: the connection is dropped and the
    // running request ends with the text as its error.
    Abort();
    lastReply_ = errorMessage_ = text;
    login_.timedOut = true;
}

bool TCustomFtpCli::TriggerProgress() {
    // Data moving is a sign of life: the reply may take as long again.
    if (replyTimer_->isActive())
        RestartReplyTimer();
    bool abort = false;
    if (OnProgress)
        OnProgress(this, transfer_.count + ResumeOffset, abort);
    return abort;
}

void TCustomFtpCli::TriggerRequestDone(TFtpRequest request, int error) {
    if (OnRequestDone)
        OnRequestDone(this, request, error);
}

void TCustomFtpCli::TriggerReadyToTransmit(bool& cancel) {
    if (OnReadyToTransmit)
        OnReadyToTransmit(this, cancel);
}

void TCustomFtpCli::HandleBackgroundException(const std::exception& e) {
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
        }
    }
    if (!canClose)
        return;
    // The running operation cannot go on. Rather than leave the request
    // hanging for ever, end it with the exception's text as its error.
    if (errorMessage_.empty())
        errorMessage_ = e.what();
    bool running = !request_.done;
    request_.driverSet = false;
    CloseData();
    ReleaseLocalFile();
    if (running) {
        if (requestResult_ == 0)
            requestResult_ = 500;
        Done(requestResult_);
    }
}

// ---------------------------------------------------------------- checks

void TCustomFtpCli::CheckReady() const {
    if (state_ != ftpcReady && state_ != ftpcChaining)
        throw FtpException(kNotReady);
}

void TCustomFtpCli::CheckConnected() const {
    if (control_->State() != wsConnected)
        throw FtpException(kNotConnected);
}

void TCustomFtpCli::SetErrorMessage() {
    if (errorMessage_.empty())
        errorMessage_ = lastReply_;
}

// ---------------------------------------------------------------- commands

void TCustomFtpCli::StartCommand(TFtpRequest code, TFtpStep step, const std::string& cmd,
                                 std::initializer_list<int> accepted, bool isQuit) {
    CheckReady();
    CheckConnected();
    if (!request_.inSequence) {
        requestCode_ = code;
        login_.timedOut = false;
    }
    acceptedCodes_.assign(accepted.begin(), accepted.end());
    ForgetKnownSize(step);
    request_.done = false;
    nextHandler_ = &TCustomFtpCli::GenericReply;
    request_.quitAfterReply = isQuit;
    commandStep_ = step;
    SetState(ftpcAwaitingReply);
    SendCommand(cmd);
}

void TCustomFtpCli::SendCommand(std::string cmd) {
    if (OnCommand)
        OnCommand(this, cmd);
    lastVerb_ = cmd.substr(0, cmd.find(' '));
    TriggerDisplay(kSentPrefix + cmd);
    if (control_->State() != wsConnected)
        return;
    std::string wire = cmd;
    if (!ServerPublicKey.empty() && CipherHooks)
        wire = CipherHooks->EncipherCommand(cmd, ServerPublicKey, ServerPublicKeyBits,
                                            ServerPublicKeyLength);
    wire += "\r\n";
    control_->SendStr(wire);
}

// ---------------------------------------------------------------- completion

void TCustomFtpCli::Done(int error) {
    if (request_.done)
        return;
    request_.done = true;
    // A download that replaced an existing file and has not been put in
    // place by now has failed: the old copy stays.
    if (transfer_.replaceTarget) {
        ReleaseLocalFile();
        DiscardPartialCopy();
    }
    if (request_.driverSet && state_ != ftpcAborting) {
        // A failed step also goes back to the driver, which then runs only
        // the closing QUIT and reports the failure.
        if (error != 0 && requestResult_ == 0)
            requestResult_ = error;
        SetState(ftpcChaining);
        RunDriver();
        return;
    }
    SetState(ftpcReady);
    if (data_->State() != wsClosed)
        CloseData();
    if (request_.inSequence && savedReplyCode_ >= 0) {
        lastReply_ = savedReply_;
        replyCode_ = savedReplyCode_;
    }
    request_.inSequence = false;
    request_.driverSet = false;
    PostRequestDone(error);
}

void TCustomFtpCli::PostRequestDone(int error) {
    TFtpRequest code = requestCode_;
    QMetaObject::invokeMethod(
        this, [this, code, error] { TriggerRequestDone(code, error); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- sequences

void TCustomFtpCli::StartSequence(TFtpRequest code, TFtpStepSet steps) {
    if ((steps & stepOpen) && Connected())
        throw FtpException(kAlreadyConnected);
    CheckReady();
    savedReply_ = lastReply_;
    savedReplyCode_ = -1;
    requestCode_ = code;
    login_.timedOut = false;
    requestResult_ = 0;
    if ((steps & stepPass) && (Options & ftpAskFeatures))
        steps |= stepFeat;
    stepSet_ = steps;
    currentStep_ = stepNone;
    sequenceResult_ = 0;
    request_.inSequence = true;
    lastReply_.clear();
    errorMessage_.clear();
    request_.done = false;
    request_.driverStarting = true;
    try {
        RunDriver();
    } catch (...) {
        request_.driverStarting = false;
        throw;
    }
    request_.driverStarting = false;
}

void TCustomFtpCli::RunDriver() {
    if (state_ == ftpcAborting) {
        stepSet_ = 0;
        sequenceResult_ = 426;
        errorMessage_ = kOperationAborted;
    }
    request_.driverSet = true;
    if (requestResult_ != 0) {
        sequenceResult_ = requestResult_;
        if (currentStep_ != stepQuit && (stepSet_ & stepQuit) && control_->State() == wsConnected &&
            !login_.serviceClosing)
            stepSet_ = stepQuit;
        else
            stepSet_ = 0;
    }
    const TFtpStep previous = currentStep_;
    while (stepSet_ != 0) {
        const TFtpStep step = static_cast<TFtpStep>(stepSet_ & (~stepSet_ + 1)); // lowest bit
        stepSet_ &= ~static_cast<TFtpStepSet>(step);
        if (step == stepPass && previous == stepUser && replyCode_ != 331)
            continue;
        if (step == stepCwd && HostDirName.empty())
            continue;
        if (step == stepGet && !(previous == stepRest && replyCode_ == 350 && ResumeOffset >= 0))
            ResumeOffset = 0;
        if (step == stepQuit) {
            savedReply_ = lastReply_;
            savedReplyCode_ = replyCode_;
        }
        currentStep_ = step;
        try {
            StartStep(step);
        } catch (const std::exception& e) {
            if (request_.driverStarting) {
                // Started from the caller's own call: the caller sees the
                // exception and no OnRequestDone follows.
                request_.inSequence = false;
                request_.driverSet = false;
                request_.done = true;
                SetState(ftpcReady);
                throw;
            }
            // A later step that cannot start ends the sequence (after QUIT
            // when the connection is still up) instead of leaving it hanging.
            errorMessage_ = e.what();
            if (requestResult_ == 0)
                requestResult_ = 500;
            if (step == stepQuit)
                stepSet_ = 0;
            request_.done = true;
            RunDriver();
        }
        return;
    }
    request_.driverSet = false;
    request_.done = false;
    Done(sequenceResult_);
}

void TCustomFtpCli::StartStep(TFtpStep step) {
    switch (step) {
    case stepOpen:
        OpenStep();
        break;
    case stepUser:
        UserStep();
        break;
    case stepPass:
        PassStep();
        break;
    case stepFeat:
        FeatStep();
        break;
    case stepCwd:
        CwdStep();
        break;
    case stepCDup:
        StartCommand(ftpCDup, stepCDup, "CDUP", {250});
        break;
    case stepTypeSet:
        type_.binaryAsked = Binary;
        StartCommand(ftpTypeSet, stepTypeSet, Binary ? "TYPE I" : "TYPE A", {200});
        break;
    case stepPort:
        PortStep();
        break;
    case stepRest:
        RestStep();
        break;
    case stepGet:
        ReceiveStep("RETR");
        break;
    case stepPut:
        SendStep(false);
        break;
    case stepAppend:
        SendStep(true);
        break;
    case stepDir:
        ReceiveStep(transfer_.machineListing ? "MLSD" : "LIST");
        break;
    case stepLs:
        ReceiveStep("NLST");
        break;
    case stepSyst:
        StartCommand(ftpSyst, stepSyst, "SYST", {215});
        break;
    case stepMkd:
        StartCommand(ftpMkd, stepMkd, "MKD " + HostFileName, {257});
        break;
    case stepRmd:
        StartCommand(ftpRmd, stepRmd, "RMD " + HostFileName, {250, 257});
        break;
    case stepRenFrom:
        StartCommand(ftpRenFrom, stepRenFrom, "RNFR " + HostFileName, {350});
        break;
    case stepRenTo:
        StartCommand(ftpRenTo, stepRenTo, "RNTO " + LocalFileName, {200, 250, 257});
        break;
    case stepSize:
        sizeAskedFor_ = HostFileName;
        StartCommand(ftpSize, stepSize, "SIZE " + HostFileName, {213});
        break;
    case stepDele:
        StartCommand(ftpDele, stepDele, "DELE " + HostFileName, {250, 257});
        break;
    case stepPwd:
        StartCommand(ftpPwd, stepPwd, "PWD", {250, 257});
        break;
    case stepQuote:
        // A quoted line may change the type behind the engine's back.
        type_.known = false;
        StartCommand(ftpQuote, stepQuote, LocalFileName, {});
        break;
    case stepQuit:
        QuitStep();
        break;
    default:
        break;
    }
}

void TCustomFtpCli::ExtractResults(TFtpStep step) {
    switch (step) {
    case stepSize:
        replySize_ = ftpreply::SecondNumber(lastReply_);
        knownSizeName_ = sizeAskedFor_;
        break;
    case stepTypeSet:
        type_.binary = type_.binaryAsked;
        type_.known = true;
        break;
    case stepCwd:
    case stepMkd:
    case stepPwd:
    case stepCDup:
        replyPath_ = ftpreply::QuotedPath(lastReply_);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- steps

void TCustomFtpCli::OpenStep() {
    CheckReady();
    if (Connected())
        throw FtpException(kAlreadyConnected);
    if (!request_.inSequence) {
        requestCode_ = ftpOpen;
        login_.timedOut = false;
    }
    request_.done = false;
    receiveBuffer_.Clear();
    requestResult_ = 0;
    resolvedAddr_.clear();
    socksAddress_.clear();
    ServerPublicKey.clear();
    login_.keyAnnounced = false;
    knownSizeName_.reset();
    features_ = {};
    login_.epsvRefused = false;
    type_.binary = false;
    type_.known = false;
    socksReason_.clear();
    login_.quitClosing = false;
    login_.serviceClosing = false;
    commandStep_ = stepOpen;
    SetState(ftpcResolving);
    const std::string& name = connectionType_ == ftpProxy ? ProxyServer : HostName;
    try {
        control_->DnsLookup(name);
    } catch (const std::exception&) {
        // An empty name already reported its failure through the lookup event.
        if (!request_.done)
            throw;
    }
}

void TCustomFtpCli::ForgetKnownSize(TFtpStep step) {
    // A size stays known only while nothing can have changed the file or
    // what its name means.
    switch (step) {
    case stepSize:
    case stepFeat:
    case stepOpts:
    case stepTypeSet:
    case stepPort:
    case stepRest:
    case stepPwd:
    case stepSyst:
    case stepQuit:
        return;
    default:
        knownSizeName_.reset();
    }
}

std::string TCustomFtpCli::SocksFailureText(int error) const {
    // The proxy's own reason for its refusals, the system's for the rest.
    const bool proxyCode = error > 20000 && error <= 20016;
    return kSocksProxyPrefix + socksServer_ + ":" + socksPort_ + kSocksProxyReason +
           (proxyCode && !socksReason_.empty() ? socksReason_ : WSocketErrorDesc(error));
}

void TCustomFtpCli::FailOpen(int error, const std::string& text) {
    lastReply_ = kSocketErrorReplyPrefix + text + kSocketErrorReplyMiddle + std::to_string(error) +
                 kSocketErrorReplySuffix;
    replyCode_ = requestResult_ = 500;
    SetErrorMessage();
}

void TCustomFtpCli::ControlDnsDone(int error) {
    if (state_ != ftpcResolving)
        return;
    const bool proxyLookup = !resolvedAddr_.empty();
    if (error != 0) {
        FailOpen(error, proxyLookup ? SocksFailureText(error) : WSocketErrorDesc(error));
        Done(error);
        return;
    }
    if (proxyLookup)
        socksAddress_ = control_->DnsResult();
    else
        resolvedAddr_ = control_->DnsResult();
    if (IsSocks() && socksAddress_.empty() && !resolvedAddr_.empty()) {
        // A proxy given by name is looked up the same way as the host,
        // without blocking; its address is used for every connection of
        // the session.
        if (socksServer_.empty() || WSocketIsDottedIP(socksServer_) ||
            WSocketIsIPv6Literal(socksServer_)) {
            socksAddress_ = socksServer_;
        } else {
            try {
                control_->DnsLookup(socksServer_);
            } catch (const std::exception& e) {
                lastReply_ = kSocketErrorReplyPrefix + std::string(e.what());
                replyCode_ = requestResult_ = 500;
                SetErrorMessage();
                request_.driverSet = false;
                Done(wsa::WSAEINVAL);
            }
            return;
        }
    }
    try {
        ApplySocks(*control_);
        control_->SetAddr(resolvedAddr_);
        control_->SetProto("tcp");
        control_->SetPort(Port);
        SetState(ftpcAwaitingGreeting);
        control_->Connect();
    } catch (const std::exception& e) {
        // A port that does not resolve, or a socket that cannot be made.
        int code = control_->LastError() ? control_->LastError() : wsa::WSAEINVAL;
        lastReply_ = kSocketErrorReplyPrefix + std::string(e.what());
        replyCode_ = requestResult_ = 500;
        SetErrorMessage();
        request_.driverSet = false;
        if (control_->State() != wsClosed)
            control_->Abort();
        Done(code);
    }
}

void TCustomFtpCli::ControlConnected(int error) {
    if (state_ != ftpcAwaitingGreeting)
        return;
    if (error != 0) {
        // Through a proxy, the failure is the proxy's: it is named with its reason.
        FailOpen(error, IsSocks() ? SocksFailureText(error) : WSocketErrorDesc(error));
        request_.driverSet = false;
        Done(error);
        control_->Close();
        SetState(ftpcReady);
        return;
    }
    login_.connected = true;
}

void TCustomFtpCli::UserStep() {
    CheckReady();
    if (UserName.empty())
        throw FtpException(kUserNameEmpty);
    std::string cmd = "USER " + UserName;
    if (connectionType_ == ftpProxy)
        cmd += "@" + HostName;
    StartCommand(ftpUser, stepUser, cmd, {331, 230});
}

void TCustomFtpCli::PassStep() {
    CheckReady();
    if (PassWord.empty())
        throw FtpException(kPasswordEmpty);
    StartCommand(ftpPass, stepPass, "PASS " + PassWord, {230});
}

void TCustomFtpCli::CwdStep() {
    CheckReady();
    if (HostDirName.empty())
        throw FtpException(kHostDirNameEmpty);
    StartCommand(ftpCwd, stepCwd, "CWD " + HostDirName, {200, 250, 257});
}

void TCustomFtpCli::FeatStep() {
    loginReply_ = lastReply_;
    loginReplyCode_ = replyCode_;
    featLines_.clear();
    features_ = {};
    StartCommand(ftpFeat, stepFeat, "FEAT", {});
    nextHandler_ = &TCustomFtpCli::FeatReply;
}

void TCustomFtpCli::FeatReply() {
    featLines_.push_back(lastReply_);
    features_ = FtpFeatureSet::FromReplyLines(featLines_);
    featLines_.clear();
    if (features_.utf8 && !login_.serviceClosing) {
        TriggerDisplay(kReceivedPrefix + lastReply_);
        SetState(ftpcChaining);
        StartCommand(ftpFeat, stepOpts, "OPTS UTF8 ON", {});
        nextHandler_ = &TCustomFtpCli::OptsReply;
        return;
    }
    OptsReply();
}

void TCustomFtpCli::OptsReply() {
    TriggerDisplay(kReceivedPrefix + lastReply_);
    if (ftpreply::ReplyCodeOf(lastReply_) == 421) {
        // The server ends the session: that is a failure whatever was asked.
        replyCode_ = requestResult_ = 421;
        SetErrorMessage();
        Done(421);
        return;
    }
    lastReply_ = loginReply_;
    replyCode_ = loginReplyCode_;
    requestResult_ = 0;
    Done(0);
}

void TCustomFtpCli::QuitStep() {
    ReleaseLocalFile();
    StartCommand(ftpQuit, stepQuit, "QUIT", {221}, true);
}

// ---------------------------------------------------------------- receiving

void TCustomFtpCli::ControlDataAvailable(int /*error*/) {
    char buffer[ReplyLineBuffer::kCapacity];
    int room = receiveBuffer_.Room();
    if (room <= 0)
        room = 0;
    int n = control_->Receive(buffer, room);
    if (n == 0 && room > 0) {
        control_->Close();
        return;
    }
    if (n < 0)
        return;
    receiveBuffer_.Append(buffer, n);
    const bool acceptLF = (Options & ftpAcceptLF) != 0;
    while (control_->State() == wsConnected) {
        auto line = receiveBuffer_.TakeLine(acceptLF);
        if (!line)
            break;
        // One line's failure never stops the loop: the lines after it are
        // still read, so no reply is left waiting in the buffer.
        try {
            if (receiveBuffer_.LastWasTail()) {
                // The rest of a cut line: text, never a reply.
                HandleLine(*line, false);
                continue;
            }
            std::string plain;
            if (DecipherLine(*line, plain)) {
                // One enciphered line may carry several plain ones.
                std::size_t pos = 0;
                while (pos <= plain.size()) {
                    std::size_t end = plain.find('\n', pos);
                    std::string part =
                        plain.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
                    while (!part.empty() && (part.back() == '\r' || part.back() == '\n'))
                        part.pop_back();
                    if (!part.empty() || end != std::string::npos)
                        HandleLine(part, true);
                    if (end == std::string::npos)
                        break;
                    pos = end + 1;
                }
                continue;
            }
            HandleLine(*line, true);
        } catch (const std::exception& e) {
            HandleBackgroundException(e);
        }
    }
}

bool TCustomFtpCli::DecipherLine(const std::string& line, std::string& plain) {
    // Replies come enciphered only after this client announced its key on
    // this connection; before that every line is read as it is.
    if (!login_.keyAnnounced || !CipherHooks)
        return false;
    try {
        return CipherHooks->DecipherReply(line, plain);
    } catch (const std::exception&) {
        // Not a reply for our key after all: a line of text.
        return false;
    }
}

void TCustomFtpCli::HandleLine(const std::string& line, bool canEndReply) {
    if (replyTimer_->isActive())
        RestartReplyTimer();
    lastReply_ = line;
    if (OnResponse)
        OnResponse(this);
    // Only a line of three digits and a space ends a reply; "xyz-" lines,
    // uncoded middle lines of a multi-line reply, stray text and the rest of
    // a cut line are passed over.
    const bool final = canEndReply && ftpreply::IsFinalReplyLine(line);
    switch (state_) {
    case ftpcAwaitingGreeting: {
        TriggerDisplay(kReceivedPrefix + line);
        if (!final)
            return;
        int code = ftpreply::ReplyCodeOf(line);
        replyCode_ = code;
        if (code != 220) {
            SetErrorMessage();
            requestResult_ = code;
            control_->Close();
            return;
        }
        SetState(ftpcConnected);
        if (OnSessionConnected)
            OnSessionConnected(this, 0);
        Done(0);
        return;
    }
    case ftpcAwaitingReply:
        if (!final) {
            if (commandStep_ == stepFeat) {
                TriggerDisplay(kReceivedPrefix + line);
                featLines_.push_back(line);
            }
            return;
        }
        if (!nextHandler_) {
            TriggerDisplay(kProgramErrorNoNext);
            return;
        }
        if (ftpreply::ReplyCodeOf(line) == 421) {
            // The server is closing the session: nothing more is sent, and
            // its line is the reason of what fails now.
            errorMessage_ = line;
            login_.serviceClosing = true;
        }
        (this->*nextHandler_)();
        if (login_.serviceClosing && control_->State() != wsClosed)
            control_->Close();
        return;
    default:
        TriggerDisplay(line);
    }
}

void TCustomFtpCli::GenericReply() {
    TriggerDisplay(kReceivedPrefix + lastReply_);
    replyCode_ = ftpreply::ReplyCodeOf(lastReply_);
    if (!acceptedCodes_.empty())
        requestResult_ = std::find(acceptedCodes_.begin(), acceptedCodes_.end(), replyCode_) !=
                                 acceptedCodes_.end()
                             ? 0
                             : replyCode_;
    else
        requestResult_ = replyCode_ >= 500 ? replyCode_ : 0;
    if (requestResult_ != 0)
        SetErrorMessage();
    if (usePassive_ && (replyCode_ == 227 || replyCode_ == 229))
        passiveReply_ = lastReply_;
    if (requestResult_ == 0)
        ExtractResults(commandStep_);
    if (request_.quitAfterReply) {
        request_.quitAfterReply = false;
        login_.quitClosing = true;
        control_->Close();
        return;
    }
    Done(requestResult_);
}

void TCustomFtpCli::ControlClosed(int error) {
    const TFtpState before = state_;
    if (login_.connected) {
        login_.connected = false;
        if (state_ != ftpcAborting)
            SetState(ftpcClosed);
        if (OnSessionClosed)
            OnSessionClosed(this, error);
    }
    if (state_ == ftpcAborting)
        return;
    if (request_.done) {
        // Nothing was running: the client is simply idle and unconnected.
        SetState(ftpcReady);
        return;
    }
    const bool expected = login_.quitClosing || commandStep_ == stepQuit;
    if (!expected && requestResult_ == 0 &&
        (before == ftpcAwaitingReply || before == ftpcAwaitingGreeting || before == ftpcClosed)) {
        // The server went away with a command outstanding: a failure, never
        // a success.
        // The server's last reply often says why it hung up: kept beside.
        const std::string parting = lastReply_;
        lastReply_ = kConnectionLost;
        if (!parting.empty())
            lastReply_ += kLastReplyBeforeClose + parting;
        replyCode_ = requestResult_ = 500;
        SetErrorMessage();
    }
    SetState(ftpcChaining);
    Done(requestResult_);
}

// ---------------------------------------------------------------- requests

void TCustomFtpCli::Open() {
    CheckReady();
    if (Connected())
        throw FtpException(kAlreadyConnected);
    request_.inSequence = false;
    request_.driverSet = false;
    errorMessage_.clear();
    OpenStep();
}

void TCustomFtpCli::User() {
    request_.inSequence = false;
    request_.driverSet = false;
    UserStep();
}
void TCustomFtpCli::Pass() {
    request_.inSequence = false;
    request_.driverSet = false;
    PassStep();
}
void TCustomFtpCli::Cwd() {
    request_.inSequence = false;
    request_.driverSet = false;
    CwdStep();
}

void TCustomFtpCli::Pubk() {
    CheckReady();
    if (MyPublicKey.empty())
        throw FtpException(kPublicKeyEmpty);
    request_.inSequence = false;
    request_.driverSet = false;
    // From this command on the server may encipher its replies for our key.
    login_.keyAnnounced = true;
    StartCommand(ftpPubk, stepPubk, "PUBK " + MyPublicKey + MyPublicKeyLength + MyPublicKeyBits,
                 {666});
}

void TCustomFtpCli::Quit() {
    request_.inSequence = false;
    request_.driverSet = false;
    CheckReady();
    CheckConnected();
    QuitStep();
}

void TCustomFtpCli::SingleStep(TFtpStep step) {
    CheckReady();
    request_.inSequence = false;
    request_.driverSet = false;
    StartStep(step);
}

void TCustomFtpCli::Feat() {
    SingleStep(stepFeat);
}

void TCustomFtpCli::Abort() {
    const bool wasResolving = state_ == ftpcResolving;
    const bool running = !request_.done;
    SetState(ftpcAborting);
    ReleaseLocalFile();
    if (wasResolving)
        control_->CancelDnsLookup();
    if (control_->State() != wsClosed)
        control_->Abort();
    CloseData();
    ReleaseLocalFile();
    login_.connected = false;
    SetState(ftpcReady);
    if (running) {
        // The running request still ends with exactly one OnRequestDone.
        errorMessage_ = kOperationAborted;
        DiscardPartialCopy();
        replyCode_ = 426;
        request_.done = true;
        request_.inSequence = false;
        request_.driverSet = false;
        stepSet_ = 0;
        PostRequestDone(426);
    }
}

void TCustomFtpCli::Connect() {
    StartSequence(ftpConnect, stepOpen | stepUser | stepPass);
}
void TCustomFtpCli::Get() {
    StartSequence(ftpGet, stepPort | stepGet);
}
void TCustomFtpCli::SessionGet() {
    StartSequence(ftpSessionGet, stepOpen | stepUser | stepPass | stepCwd | stepTypeSet | stepPort |
                                     stepGet | stepQuit);
}
void TCustomFtpCli::Put() {
    StartSequence(ftpPut, stepPort | stepPut);
}
void TCustomFtpCli::SessionPut() {
    StartSequence(ftpSessionPut, stepOpen | stepUser | stepPass | stepCwd | stepTypeSet | stepPort |
                                     stepPut | stepQuit);
}
void TCustomFtpCli::Append() {
    StartSequence(ftpAppend, stepPort | stepAppend);
}
void TCustomFtpCli::SessionAppend() {
    StartSequence(ftpSessionAppend, stepOpen | stepUser | stepPass | stepCwd | stepTypeSet |
                                        stepPort | stepAppend | stepQuit);
}
void TCustomFtpCli::ListEntries() {
    transfer_.machineListing = features_.mlst;
    try {
        StartSequence(ftpDir, stepPort | stepDir);
    } catch (...) {
        transfer_.machineListing = false;
        throw;
    }
}
void TCustomFtpCli::Dir() {
    transfer_.machineListing = false;
    StartSequence(ftpDir, stepPort | stepDir);
}
void TCustomFtpCli::Ls() {
    StartSequence(ftpLs, stepPort | stepLs);
}
void TCustomFtpCli::TypeSet() {
    SingleStep(stepTypeSet);
}
void TCustomFtpCli::TypeBinary() {
    Binary = true;
    TypeSet();
}
void TCustomFtpCli::TypeAscii() {
    Binary = false;
    TypeSet();
}
void TCustomFtpCli::Pwd() {
    SingleStep(stepPwd);
}
void TCustomFtpCli::CDup() {
    SingleStep(stepCDup);
}
void TCustomFtpCli::SessionDir() {
    StartSequence(ftpSessionDir,
                  stepOpen | stepUser | stepPass | stepCwd | stepPort | stepDir | stepQuit);
}
void TCustomFtpCli::SessionLs() {
    StartSequence(ftpSessionLs,
                  stepOpen | stepUser | stepPass | stepCwd | stepPort | stepLs | stepQuit);
}
void TCustomFtpCli::Syst() {
    SingleStep(stepSyst);
}
void TCustomFtpCli::SessionSyst() {
    StartSequence(ftpSessionSyst, stepOpen | stepUser | stepPass | stepSyst | stepQuit);
}
void TCustomFtpCli::Size() {
    SingleStep(stepSize);
}
void TCustomFtpCli::SessionSize() {
    StartSequence(ftpSessionSize, stepOpen | stepUser | stepPass | stepCwd | stepSize | stepQuit);
}
void TCustomFtpCli::Mkd() {
    SingleStep(stepMkd);
}
void TCustomFtpCli::SessionMkd() {
    StartSequence(ftpSessionMkd, stepOpen | stepUser | stepPass | stepCwd | stepMkd | stepQuit);
}
void TCustomFtpCli::Rmd() {
    SingleStep(stepRmd);
}
void TCustomFtpCli::SessionRmd() {
    StartSequence(ftpSessionRmd, stepOpen | stepUser | stepPass | stepCwd | stepRmd | stepQuit);
}
void TCustomFtpCli::Dele() {
    SingleStep(stepDele);
}
void TCustomFtpCli::SessionDele() {
    StartSequence(ftpSessionDele, stepOpen | stepUser | stepPass | stepCwd | stepDele | stepQuit);
}
void TCustomFtpCli::RenFrom() {
    SingleStep(stepRenFrom);
}
void TCustomFtpCli::RenTo() {
    SingleStep(stepRenTo);
}
void TCustomFtpCli::Rename() {
    StartSequence(ftpRename, stepRenFrom | stepRenTo);
}
void TCustomFtpCli::SessionRename() {
    StartSequence(ftpSessionRename,
                  stepOpen | stepUser | stepPass | stepCwd | stepRenFrom | stepRenTo | stepQuit);
}
void TCustomFtpCli::Quote() {
    SingleStep(stepQuote);
}
void TCustomFtpCli::SessionQuote() {
    StartSequence(ftpSessionQuote, stepOpen | stepUser | stepPass | stepCwd | stepQuote | stepQuit);
}
void TCustomFtpCli::Rest() {
    SingleStep(stepRest);
}
void TCustomFtpCli::RestGet() {
    StartSequence(ftpRestGet, stepPort | stepRest | stepGet);
}
void TCustomFtpCli::SessionRestGet() {
    StartSequence(ftpSessionRestGet, stepOpen | stepUser | stepPass | stepCwd | stepTypeSet |
                                         stepPort | stepRest | stepGet | stepQuit);
}
void TCustomFtpCli::RestPut() {
    StartSequence(ftpRestPut, stepPort | stepRest | stepPut);
}
void TCustomFtpCli::SessionRestPut() {
    StartSequence(ftpSessionRestPut, stepOpen | stepUser | stepPass | stepCwd | stepTypeSet |
                                         stepPort | stepRest | stepPut | stepQuit);
}
void TCustomFtpCli::PortRequest() {
    SingleStep(stepPort);
}
