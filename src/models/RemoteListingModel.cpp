#include "models/RemoteListingModel.h"

#include "app/AppSignals.h"
#include "client/ClientSession.h"
#include "models/ModelTexts.h"

#include <tuple>

namespace {
// The size column is right-aligned, its header too.
constexpr int kSizeColumn = 1;
QVariant SizeAlignment() {
    return int(Qt::AlignRight | Qt::AlignVCenter);
}
} // namespace

RemoteListingModel::RemoteListingModel(ClientSession& session, AppSignals& events, QObject* parent)
    : SyncedTableModel(Titles(modeltexts::kRemoteColumns), session.RemoteItems(), parent),
      session_(session) {
    connect(&events, &AppSignals::clientListingChanged, this, &RemoteListingModel::Reload);
}

QString RemoteListingModel::Cell(const RemoteItem& item, int column) const {
    const std::string* cells[] = {&item.Caption, &item.SizeText, &item.DateText};
    return QString::fromStdString(*cells[column]);
}

QVariant RemoteListingModel::RoleData(const RemoteItem& item, int column, int role) const {
    switch (role) {
    case Qt::TextAlignmentRole:
        return column == kSizeColumn ? SizeAlignment() : QVariant();
    case KindRole:
        return static_cast<int>(item.Icon);
    default:
        return {};
    }
}

QVariant RemoteListingModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal && section == kSizeColumn)
        return SizeAlignment();
    return SyncedTableModel::headerData(section, orientation, role);
}

void RemoteListingModel::sort(int column, Qt::SortOrder) {
    // The session sorts: the same column again turns the order round.
    if (column >= 0 && column < columnCount())
        session_.SortBy(column);
}

bool RemoteListingModel::SameValues(const RemoteItem& a, const RemoteItem& b) const {
    return std::tie(a.Icon, a.Caption, a.SizeText, a.DateText, a.Size, a.Modified) ==
           std::tie(b.Icon, b.Caption, b.SizeText, b.DateText, b.Size, b.Modified);
}

void RemoteListingModel::Reload() {
    Sync(session_.RemoteItems());
}
