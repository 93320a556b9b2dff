#pragma once
#include "client/RemoteListing.h"
#include "models/SyncedTableModel.h"

class ClientSession;
class AppSignals;

// The client's remote listing: columns "Name", "Size" (right-aligned) and
// "Modified". KindRole gives the item's icon kind (RemoteIcon as an int).
// Sizes and dates show as the server wrote them. Sorting asks the session,
// which sorts sizes as numbers and dates as times.
class RemoteListingModel : public SyncedTableModel<RemoteItem, std::string> {
public:
    static constexpr int KindRole = Qt::UserRole + 1;

    RemoteListingModel(ClientSession& session, AppSignals& events, QObject* parent = nullptr);

    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const RemoteItem& Item(int row) const { return RowAt(row); }

private:
    QString Cell(const RemoteItem& item, int column) const override;
    QVariant RoleData(const RemoteItem& item, int column, int role) const override;
    std::string KeyOf(const RemoteItem& item) const override { return item.Caption; }
    bool SameValues(const RemoteItem& a, const RemoteItem& b) const override;
    void Reload();

    ClientSession& session_;
};
