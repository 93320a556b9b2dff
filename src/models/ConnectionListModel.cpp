#include "models/ConnectionListModel.h"

#include "accounts/ServerOwner.h"
#include "app/AppSignals.h"
#include "models/ModelTexts.h"

#include <iterator>
#include <tuple>

namespace {
auto Fields(const accounts::ConnectionRow& r) {
    return std::tie(r.Id, r.UserName, r.Address, r.Action, r.Location, r.Progress, r.Speed);
}
constexpr int kColumns = static_cast<int>(std::size(modeltexts::kConnectionColumns));
} // namespace

ConnectionListModel::ConnectionListModel(const accounts::ServerOwner& owner, AppSignals& events,
                                         QObject* parent)
    : SyncedTableModel(parent), owner_(owner), rows_(owner.Rows()) {
    connect(&events, &AppSignals::serverRowsReset, this, &ConnectionListModel::Reload);
    connect(&events, &AppSignals::serverRowChanged, this, &ConnectionListModel::ReloadRow);
}

int ConnectionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ConnectionListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant ConnectionListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    const accounts::ConnectionRow& r = rows_[static_cast<std::size_t>(index.row())];
    const std::string* cells[] = {&r.Id,       &r.UserName, &r.Address, &r.Action,
                                  &r.Location, &r.Progress, &r.Speed};
    return QString::fromStdString(*cells[index.column()]);
}

QVariant ConnectionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= kColumns)
        return {};
    return QString::fromLatin1(modeltexts::kConnectionColumns[section]);
}

void ConnectionListModel::Reload() {
    Sync(
        rows_, owner_.Rows(), [](const accounts::ConnectionRow& r) { return r.Id; },
        [](const auto& a, const auto& b) { return Fields(a) == Fields(b); });
}

void ConnectionListModel::ReloadRow(int row) {
    const auto& fresh = owner_.Rows();
    // A row index that no longer matches what the model holds asks for a full sync.
    if (row < 0 || static_cast<std::size_t>(row) >= fresh.size() ||
        static_cast<std::size_t>(row) >= rows_.size() ||
        rows_[static_cast<std::size_t>(row)].Id != fresh[static_cast<std::size_t>(row)].Id) {
        Reload();
        return;
    }
    rows_[static_cast<std::size_t>(row)] = fresh[static_cast<std::size_t>(row)];
    RowChanged(row);
}
