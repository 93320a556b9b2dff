#include "app/AppSignals.h"

#include "app/AppShell.h"
#include "client/ClientSession.h"

#include <tuple>

namespace {
auto Fields(const ClientIndicators& i) {
    return std::tie(i.Encryption, i.Strength, i.Algorythm, i.CommandPortEncryption);
}
auto Fields(const ClientCommandGroups& g) {
    return std::tie(g.Reconnect, g.SiteManager, g.QuickConnect, g.Disconnect, g.TransferQueue,
                    g.Stop, g.RemoteUp);
}
template <class T> bool Same(const T& a, const T& b) {
    return Fields(a) == Fields(b);
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
    shell_.Client().OnChanged = [this](SessionChange what) { ClientChanged(what); };
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
    queue.OnLocalFolderChanged = [this](const std::string& folder) {
        emit localFolderChanged(QString::fromStdString(folder));
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
    shell_.Queue().OnLocalFolderChanged = nullptr;
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

void AppSignals::ClientChanged(SessionChange what) {
    switch (what) {
    case SessionChange::Listing:
        emit clientListingChanged();
        return;
    case SessionChange::Progress:
        progressThrottle_.Poke();
        return;
    case SessionChange::Indicators: {
        // Small values, told apart here so that views repaint only on a change.
        const ClientSession& session = shell_.Client();
        if (Same(indicators_, session.Indicators()) && Same(groups_, session.Groups()))
            return;
        indicators_ = session.Indicators();
        groups_ = session.Groups();
        emit clientIndicatorsChanged();
        return;
    }
    }
}
