#include "models/ConnectionListModel.h"

#include "accounts/ServerOwner.h"
#include "app/AppSignals.h"
#include "models/ModelTexts.h"

#include <tuple>

namespace {
auto Fields(const accounts::ConnectionRow& r) {
    return std::tie(r.Id, r.UserName, r.Address, r.Action, r.Location, r.Progress, r.Speed);
}
} // namespace

ConnectionListModel::ConnectionListModel(const accounts::ServerOwner& owner, AppSignals& events,
                                         QObject* parent)
    : SyncedTableModel(Titles(modeltexts::kConnectionColumns), owner.Rows(), parent),
      owner_(owner) {
    connect(&events, &AppSignals::serverRowsReset, this, &ConnectionListModel::Reload);
    connect(&events, &AppSignals::serverRowChanged, this, &ConnectionListModel::ReloadRow);
}

const std::string& ConnectionListModel::Cell(const accounts::ConnectionRow& r, int column) const {
    const std::string* cells[] = {&r.Id,       &r.UserName, &r.Address, &r.Action,
                                  &r.Location, &r.Progress, &r.Speed};
    return *cells[column];
}

bool ConnectionListModel::SameValues(const accounts::ConnectionRow& a,
                                     const accounts::ConnectionRow& b) const {
    return Fields(a) == Fields(b);
}

void ConnectionListModel::Reload() {
    Sync(owner_.Rows());
}

void ConnectionListModel::ReloadRow(int row) {
    SyncRow(row, owner_.Rows());
}
