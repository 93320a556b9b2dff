#include "models/TransferQueueModel.h"

#include "app/AppSignals.h"
#include "client/TransferQueue.h"
#include "models/ModelTexts.h"

#include <iterator>
#include <tuple>

namespace {
auto Fields(const QueueEntry& e) {
    return std::tie(e.Icon, e.Local, e.LocalSize, e.Direction, e.Remote, e.RemoteSize, e.Host,
                    e.Status);
}
constexpr int kColumns = static_cast<int>(std::size(modeltexts::kQueueColumns));
} // namespace

TransferQueueModel::TransferQueueModel(const TransferQueue& queue, AppSignals& events,
                                       QObject* parent)
    : SyncedTableModel(parent), queue_(queue), rows_(queue.Entries()) {
    connect(&events, &AppSignals::queueChanged, this, &TransferQueueModel::Reload);
    connect(&events, &AppSignals::queueRowChanged, this, &TransferQueueModel::ReloadRow);
}

int TransferQueueModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TransferQueueModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant TransferQueueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const QueueEntry& e = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: {
        const std::string* cells[] = {&e.Local,      &e.LocalSize, &e.Direction, &e.Remote,
                                      &e.RemoteSize, &e.Host,      &e.Status};
        return QString::fromStdString(*cells[index.column()]);
    }
    case KindRole:
        return static_cast<int>(e.Icon);
    case IdRole:
        return e.Id;
    default:
        return {};
    }
}

QVariant TransferQueueModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumns)
        return {};
    return QString::fromLatin1(modeltexts::kQueueColumns[section]);
}

void TransferQueueModel::Reload() {
    Sync(
        rows_, queue_.Entries(), [](const QueueEntry& e) { return e.Id; },
        [](const QueueEntry& a, const QueueEntry& b) { return Fields(a) == Fields(b); });
}

void TransferQueueModel::ReloadRow(int row) {
    const auto& fresh = queue_.Entries();
    // A row that no longer matches what the model holds asks for a full sync.
    if (row < 0 || static_cast<std::size_t>(row) >= fresh.size() ||
        static_cast<std::size_t>(row) >= rows_.size() ||
        rows_[static_cast<std::size_t>(row)].Id != fresh[static_cast<std::size_t>(row)].Id) {
        Reload();
        return;
    }
    rows_[static_cast<std::size_t>(row)] = fresh[static_cast<std::size_t>(row)];
    RowChanged(row);
}
