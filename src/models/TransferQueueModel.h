#pragma once
#include "client/QueueEntry.h"
#include "models/SyncedTableModel.h"

class TransferQueue;
class AppSignals;

// The transfer queue: columns "Local", "Size", the direction (no title),
// "Remote", "Size", "Host", "Status". KindRole gives the icon (QueueIcon as
// an int: 1 directory, 2 file); IdRole the entry's id for Remove. A started
// entry updates its own row only.
class TransferQueueModel : public SyncedTableModel {
public:
    static constexpr int KindRole = Qt::UserRole + 1;
    static constexpr int IdRole = Qt::UserRole + 2;

    TransferQueueModel(const TransferQueue& queue, AppSignals& events, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void Reload();
    void ReloadRow(int row);

    const TransferQueue& queue_;
    std::vector<QueueEntry> rows_;
};
