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

void TFtpCtrlSocket::SendLastReplyAndClose(const std::string& text) {
    sentAway_ = true;
    SendReplyLine(text);
    CloseDelayed();
}

void TFtpCtrlSocket::StartConnection() {
    ConnectedSince = QDateTime::currentDateTimeUtc();
    LastCommand = QDateTime();
    CommandCount = 0;
    FtpState = ftpcWaitingUserCode;
    SendStr(Banner + "\r\n");
}

void TFtpCtrlSocket::HoldReplies(bool held) {
    repliesHeld_ = held;
    if (held) {
        HoldReading(true);
        return;
    }
    // The lines after the held one (a client may send them at once) run
    // now, then reading resumes.
    if (HSocket() >= 0)
        QueueMoreLines();
}

bool TFtpCtrlSocket::TriggerDataAvailable(int /*Error*/) {
    if (heldPos_ < held_.size() || RepliesPiledUp() || repliesHeld_) {
        HoldReading(true);
        return true;
    }
    char buf[2048];
    const int len = Receive(buf, RcvSize > 0 && RcvSize <= 2048 ? RcvSize : 2048);
    if (len <= 0)
        return true;
    held_.assign(buf, static_cast<std::size_t>(len));
    heldPos_ = 0;
    RunHeldLines();
    return true;
}

void TFtpCtrlSocket::RunHeldLines() {
    QPointer<TFtpCtrlSocket> self(this);
    int run = 0;
    while (heldPos_ < held_.size() && run < kLinesPerTurn && !RepliesPiledUp() && !repliesHeld_) {
        // A command may have closed the connection: later lines are void.
        if (HSocket() < 0 || sentAway_) {
            held_.clear();
            heldPos_ = 0;
            return;
        }
        const std::size_t lf = held_.find('\n', heldPos_);
        const std::size_t end = lf == std::string::npos ? held_.size() : lf + 1;
        const auto items = lines_.Feed(held_.data() + heldPos_, end - heldPos_);
        heldPos_ = end;
        for (const auto& item : items) {
            ++run;
            if (item.TooLong) {
                if (OnLineTooLong)
                    OnLineTooLong(this);
            } else {
                LastCommand = QDateTime::currentDateTimeUtc();
                ++CommandCount;
                if (OnCommand)
                    OnCommand(this, item.Line.data(), static_cast<int>(item.Line.size()));
            }
            if (!self)
                return;
        }
    }
    if (HSocket() < 0)
        return;
    if (heldPos_ == held_.size() && !RepliesPiledUp() && !repliesHeld_) {
        held_.clear();
        heldPos_ = 0;
        HoldReading(false);
        return;
    }
    HoldReading(true);
    // Piled-up replies resume the lines once they have gone out; a held
    // reply resumes them when it is released.
    if (!RepliesPiledUp() && !repliesHeld_)
        QueueMoreLines();
}

void TFtpCtrlSocket::QueueMoreLines() {
    if (moreQueued_)
        return;
    moreQueued_ = true;
    const int handle = HSocket();
    QMetaObject::invokeMethod(
        this,
        [this, handle] {
            moreQueued_ = false;
            if (handle != HSocket())
                return;
            try {
                RunHeldLines();
            } catch (...) {
                // As in the receive loop: the line is lost, the connection stays.
            }
        },
        Qt::QueuedConnection);
}

void TFtpCtrlSocket::TriggerDataSent(int Error) {
    if (ReadingHeld() && !RepliesPiledUp() && !repliesHeld_)
        QueueMoreLines();
    TCustomWSocket::TriggerDataSent(Error);
}
