#include "models/TransferQueueModel.h"

#include "app/AppSignals.h"
#include "client/QueueTexts.h"
#include "client/TransferQueue.h"
#include "models/ModelTexts.h"

#include <tuple>

namespace {
auto Fields(const QueueEntry& e) {
    return std::tie(e.Icon, e.Local, e.LocalSize, e.Direction, e.Remote, e.RemoteSize, e.Host,
                    e.Status);
}
} // namespace

TransferQueueModel::TransferQueueModel(const TransferQueue& queue, AppSignals& events,
                                       QObject* parent)
    : SyncedTableModel(Titles(modeltexts::kQueueColumns), queue.Entries(), parent), queue_(queue) {
    connect(&events, &AppSignals::queueChanged, this, &TransferQueueModel::Reload);
    connect(&events, &AppSignals::queueRowChanged, this, &TransferQueueModel::ReloadRow);
}

QString TransferQueueModel::Cell(const QueueEntry& e, int column) const {
    switch (column) {
    case 1: // a delete request has no local side
        return e.Direction == queue_texts::kDelete ? QString() : QString::number(e.LocalSize);
    case 4:
        return QString::number(e.RemoteSize);
    default: {
        const std::string* texts[] = {&e.Local, nullptr, &e.Direction, &e.Remote,
                                      nullptr,  &e.Host, &e.Status};
        return QString::fromStdString(*texts[column]);
    }
    }
}

QVariant TransferQueueModel::RoleData(const QueueEntry& e, int, int role) const {
    switch (role) {
    case KindRole:
        return static_cast<int>(e.Icon);
    case IdRole:
        return e.Id;
    default:
        return {};
    }
}

bool TransferQueueModel::SameValues(const QueueEntry& a, const QueueEntry& b) const {
    return Fields(a) == Fields(b);
}

void TransferQueueModel::Reload() {
    Sync(queue_.Entries());
}

void TransferQueueModel::ReloadRow(int row) {
    SyncRow(row, queue_.Entries());
}
