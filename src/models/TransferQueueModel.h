#pragma once
#include "client/QueueEntry.h"
#include "models/SyncedTableModel.h"

class TransferQueue;
class AppSignals;

// The transfer queue: columns "Local", "Size", the direction (no title),
// "Remote", "Size", "Host", "Status". KindRole gives the icon (QueueIcon as
// an int: 1 directory, 2 file); IdRole the entry's id for Remove. A started
// entry updates its own row only.
class TransferQueueModel : public SyncedTableModel<QueueEntry, int> {
public:
    static constexpr int KindRole = Qt::UserRole + 1;
    static constexpr int IdRole = Qt::UserRole + 2;

    TransferQueueModel(const TransferQueue& queue, AppSignals& events, QObject* parent = nullptr);

private:
    QString Cell(const QueueEntry& entry, int column) const override;
    QVariant RoleData(const QueueEntry& entry, int column, int role) const override;
    int KeyOf(const QueueEntry& entry) const override { return entry.Id; }
    bool SameValues(const QueueEntry& a, const QueueEntry& b) const override;
    void Reload();
    void ReloadRow(int row);

    const TransferQueue& queue_;
};
