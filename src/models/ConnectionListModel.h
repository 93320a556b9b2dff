#pragma once
#include "accounts/ConnectionList.h"
#include "models/SyncedTableModel.h"

namespace accounts {
class ServerOwner;
}
class AppSignals;

// The server's connection list: one row per connection, columns "ID",
// "User Name", "IP Address", "Action", "File/Location", "Progress", "Speed".
// Transfer progress updates single rows. While a transfer runs, "Progress"
// shows the bytes moved with units and, for a download, the share of the
// file ("4.5 MiB (45%)"); "Speed" shows the rate with units. The exact byte
// count is the progress cell's tool tip.
class ConnectionListModel : public SyncedTableModel<accounts::ConnectionRow, std::string> {
public:
    ConnectionListModel(const accounts::ServerOwner& owner, AppSignals& events,
                        QObject* parent = nullptr);

    static constexpr int kProgressColumn = 5;
    static constexpr int kSpeedColumn = 6;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QString Cell(const accounts::ConnectionRow& row, int column) const override;
    std::string KeyOf(const accounts::ConnectionRow& row) const override { return row.Id; }
    bool SameValues(const accounts::ConnectionRow& a,
                    const accounts::ConnectionRow& b) const override;
    void Reload();
    void ReloadRow(int row);

    const accounts::ServerOwner& owner_;
};
