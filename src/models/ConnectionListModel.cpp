#include "models/ConnectionListModel.h"

#include "accounts/ServerOwner.h"
#include "app/AppSignals.h"
#include "models/ModelTexts.h"
#include "models/SizeText.h"

#include <tuple>

namespace {
auto Fields(const accounts::ConnectionRow& r) {
    return std::tie(r.Id, r.UserName, r.Address, r.Action, r.Location, r.Progress, r.Speed, r.Bytes,
                    r.Total, r.BytesPerSecond, r.Complete);
}
} // namespace

ConnectionListModel::ConnectionListModel(const accounts::ServerOwner& owner, AppSignals& events,
                                         QObject* parent)
    : SyncedTableModel(Titles(modeltexts::kConnectionColumns), owner.Rows(), parent),
      owner_(owner) {
    connect(&events, &AppSignals::serverRowsReset, this, &ConnectionListModel::Reload);
    connect(&events, &AppSignals::serverRowChanged, this, &ConnectionListModel::ReloadRow);
}

QVariant ConnectionListModel::data(const QModelIndex& index, int role) const {
    const accounts::ConnectionRow* row = RowOf(index);
    const int column = index.column();
    if (row == nullptr || row->Bytes < 0 || (column != kProgressColumn && column != kSpeedColumn))
        return SyncedTableModel::data(index, role);
    if (role == Qt::DisplayRole && column == kSpeedColumn)
        return RateWithUnits(row->BytesPerSecond);
    if (role == Qt::DisplayRole) {
        QString text = ProgressWithUnits(row->Bytes, row->Total);
        if (row->Complete)
            text += QString::fromLatin1(modeltexts::kComplete);
        return text;
    }
    if (role == Qt::ToolTipRole && column == kProgressColumn)
        return QString::number(row->Bytes) + QString::fromLatin1(modeltexts::kExactBytes);
    return SyncedTableModel::data(index, role);
}

QString ConnectionListModel::Cell(const accounts::ConnectionRow& r, int column) const {
    const std::string* cells[] = {&r.Id,       &r.UserName, &r.Address, &r.Action,
                                  &r.Location, &r.Progress, &r.Speed};
    return QString::fromStdString(*cells[column]);
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
