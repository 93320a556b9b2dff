#include "app/AppSignals.h"

#include "app/AppShell.h"

#include <tuple>

namespace {
auto Fields(const RemoteItem& i) {
    return std::tie(i.Icon, i.Caption, i.Size, i.Date);
}
auto Fields(const ClientIndicators& i) {
    return std::tie(i.Encryption, i.Strength, i.Algorythm, i.CommandPortEncryption);
}
auto Fields(const ClientCommandGroups& g) {
    return std::tie(g.Reconnect, g.SiteManager, g.QuickConnect, g.Disconnect, g.TransferQueue,
                    g.Stop, g.RemoteUp);
}
auto Fields(const TransferFigures& f) {
    return std::tie(f.Bytes, f.TotalBytes, f.Speed, f.PercentDone, f.Remain);
}
template <class T> bool Same(const T& a, const T& b) {
    return Fields(a) == Fields(b);
}
bool SameItems(const std::vector<RemoteItem>& a, const std::vector<RemoteItem>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!Same(a[i], b[i]))
            return false;
    return true;
}
} // namespace

void AppSignals::Sink::Write(int log, const std::string& line, TColor colour) {
    emit owner_.logLine(log, QString::fromStdString(line),
                        (colour.r << 16) | (colour.g << 8) | colour.b);
}

AppSignals::AppSignals(AppShell& shell, QObject* parent)
    : QObject(parent), shell_(shell), sink_(*this),
      rowThrottle_(kProgressIntervalMs, [this] { FlushRows(); }),
      progressThrottle_(kProgressIntervalMs, [this] { emit clientProgress(); }),
      queueRowThrottle_(kProgressIntervalMs, [this] { FlushQueueRows(); }) {
    accounts::ServerOwner& owner = shell_.Owner();
    owner.OnListChanged = [this] {
        // A full refresh carries every pending row change with it.
        pendingRows_.clear();
        rowThrottle_.Cancel();
        emit serverRowsReset();
    };
    owner.OnRowChanged = [this](int row) {
        pendingRows_.insert(row);
        rowThrottle_.Poke();
    };
    shell_.Client().OnChanged = [this] { ClientChanged(); };
    TransferQueue& queue = shell_.Queue();
    queue.OnChanged = [this] {
        pendingQueueRows_.clear();
        queueRowThrottle_.Cancel();
        emit queueChanged();
    };
    queue.OnRowChanged = [this](int row) {
        pendingQueueRows_.insert(row);
        queueRowThrottle_.Poke();
    };
    shell_.OnSettingChanged = [this](const std::string& key) {
        emit settingChanged(QString::fromStdString(key));
    };
    shell_.OnKeyPairChanged = [this] { emit keyPairChanged(); };
    shell_.Log().AddSink(&sink_);
}

AppSignals::~AppSignals() {
    shell_.Log().RemoveSink(&sink_);
    shell_.Owner().OnListChanged = nullptr;
    shell_.Owner().OnRowChanged = nullptr;
    shell_.Client().OnChanged = nullptr;
    shell_.Queue().OnChanged = nullptr;
    shell_.Queue().OnRowChanged = nullptr;
    shell_.OnSettingChanged = nullptr;
    shell_.OnKeyPairChanged = nullptr;
}

void AppSignals::FlushRows() {
    const std::set<int> rows = std::move(pendingRows_);
    pendingRows_.clear();
    const int count = static_cast<int>(shell_.Owner().Rows().size());
    for (int row : rows)
        if (row < count)
            emit serverRowChanged(row);
}

void AppSignals::FlushQueueRows() {
    const std::set<int> rows = std::move(pendingQueueRows_);
    pendingQueueRows_.clear();
    const int count = static_cast<int>(shell_.Queue().Entries().size());
    for (int row : rows)
        if (row >= 0 && row < count)
            emit queueRowChanged(row);
}

void AppSignals::ClientChanged() {
    const ClientSession& session = shell_.Client();
    if (!SameItems(items_, session.RemoteItems()) || paths_ != session.RemotePaths() ||
        path_ != session.RemotePath()) {
        items_ = session.RemoteItems();
        paths_ = session.RemotePaths();
        path_ = session.RemotePath();
        emit clientListingChanged();
    }
    if (!Same(indicators_, session.Indicators()) || !Same(groups_, session.Groups())) {
        indicators_ = session.Indicators();
        groups_ = session.Groups();
        emit clientIndicatorsChanged();
    }
    if (!Same(figures_, session.Figures())) {
        figures_ = session.Figures();
        progressThrottle_.Poke();
    }
}
