#pragma once
#include "accounts/ConnectionList.h"
#include "models/SyncedTableModel.h"

namespace accounts {
class ServerOwner;
}
class AppSignals;

// The server's connection list: one row per connection, columns "ID",
// "User Name", "IP Address", "Action", "File/Location", "Progress", "Speed".
// Transfer progress updates single rows.
class ConnectionListModel : public SyncedTableModel {
public:
    ConnectionListModel(const accounts::ServerOwner& owner, AppSignals& events,
                        QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void Reload();
    void ReloadRow(int row);

    const accounts::ServerOwner& owner_;
    std::vector<accounts::ConnectionRow> rows_;
};
