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
class ConnectionListModel : public SyncedTableModel<accounts::ConnectionRow, std::string> {
public:
    ConnectionListModel(const accounts::ServerOwner& owner, AppSignals& events,
                        QObject* parent = nullptr);

private:
    const std::string& Cell(const accounts::ConnectionRow& row, int column) const override;
    std::string KeyOf(const accounts::ConnectionRow& row) const override { return row.Id; }
    bool SameValues(const accounts::ConnectionRow& a,
                    const accounts::ConnectionRow& b) const override;
    void Reload();
    void ReloadRow(int row);

    const accounts::ServerOwner& owner_;
};
