#include "ftpserver/FtpCtrlSocket.h"

#include <QPointer>

TFtpCtrlSocket::TFtpCtrlSocket(QObject* parent)
    : TCustomWSocket(parent), DataSocket(std::make_unique<TWSocket>()) {}

char* TFtpCtrlSocket::TransferBuffer() {
    if (RcvBuf.empty())
        RcvBuf.resize(static_cast<std::size_t>(kTransferChunk));
    return RcvBuf.data();
}

void TFtpCtrlSocket::ReleaseTransferBuffer() {
    std::vector<char>().swap(RcvBuf);
}

TFtpCtrlSocket::~TFtpCtrlSocket() = default;

void TFtpCtrlSocket::SendReplyLine(const std::string& text) {
    SendStr(text + "\r\n");
}

void TFtpCtrlSocket::StartConnection() {
    ConnectedSince = QDateTime::currentDateTime();
    LastCommand = QDateTime();
    CommandCount = 0;
    FtpState = ftpcWaitingUserCode;
    SendStr(Banner + "\r\n");
}

bool TFtpCtrlSocket::TriggerDataAvailable(int /*Error*/) {
    char buf[2048];
    const int len = Receive(buf, RcvSize > 0 && RcvSize <= 2048 ? RcvSize : 2048);
    if (len <= 0)
        return true;
    QPointer<TFtpCtrlSocket> self(this);
    for (auto& item : lines_.Feed(buf, static_cast<std::size_t>(len))) {
        // A command may have closed the connection: later lines are void.
        if (!self || HSocket() < 0)
            break;
        if (item.TooLong) {
            if (OnLineTooLong)
                OnLineTooLong(this);
            continue;
        }
        LastCommand = QDateTime::currentDateTime();
        ++CommandCount;
        if (OnCommand)
            OnCommand(this, item.Line.data(), static_cast<int>(item.Line.size()));
    }
    return true;
}
