#include "models/RemoteListingModel.h"

#include "app/AppSignals.h"
#include "client/ClientSession.h"
#include "models/ModelTexts.h"

#include <iterator>
#include <tuple>

namespace {
constexpr int kColumns = static_cast<int>(std::size(modeltexts::kRemoteColumns));
}

RemoteListingModel::RemoteListingModel(ClientSession& session, AppSignals& events, QObject* parent)
    : SyncedTableModel(parent), session_(session), items_(session.RemoteItems()) {
    connect(&events, &AppSignals::clientListingChanged, this, &RemoteListingModel::Reload);
}

int RemoteListingModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int RemoteListingModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant RemoteListingModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const RemoteItem& item = Item(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        const std::string* cells[] = {&item.Caption, &item.Size, &item.Date};
        return QString::fromStdString(*cells[index.column()]);
    }
    case Qt::TextAlignmentRole:
        return index.column() == 1 ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case KindRole:
        return static_cast<int>(item.Icon);
    default:
        return {};
    }
}

QVariant RemoteListingModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(modeltexts::kRemoteColumns[section]);
    if (role == Qt::TextAlignmentRole && section == 1)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void RemoteListingModel::sort(int column, Qt::SortOrder) {
    // The listing sorts one way only, as text by the clicked column.
    if (column >= 0 && column < kColumns)
        session_.SortBy(column);
}

void RemoteListingModel::Reload() {
    Sync(
        items_, session_.RemoteItems(), [](const RemoteItem& i) { return i.Caption; },
        [](const RemoteItem& a, const RemoteItem& b) {
            return std::tie(a.Icon, a.Caption, a.Size, a.Date) ==
                   std::tie(b.Icon, b.Caption, b.Size, b.Date);
        });
}
