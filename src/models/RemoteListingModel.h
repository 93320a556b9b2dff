#pragma once
#include "client/RemoteListing.h"
#include "models/SyncedTableModel.h"

class ClientSession;
class AppSignals;

// The client's remote listing: columns "Name", "Size" (right-aligned) and
// "Modified". KindRole gives the item's icon kind (RemoteIcon as an int).
// Sorting asks the session, which sorts by the clicked column as text.
class RemoteListingModel : public SyncedTableModel {
public:
    static constexpr int KindRole = Qt::UserRole + 1;

    RemoteListingModel(ClientSession& session, AppSignals& events, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const RemoteItem& Item(int row) const { return items_[static_cast<std::size_t>(row)]; }

private:
    void Reload();

    ClientSession& session_;
    std::vector<RemoteItem> items_;
};
