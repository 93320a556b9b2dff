#include "models/LocalFolderModel.h"

#include "models/ModelTexts.h"
#include "models/SizeText.h"

#include <QDateTime>
#include <QLocale>

#include <tuple>

namespace {
constexpr int kSizeColumn = 1;
QVariant SizeAlignment() {
    return int(Qt::AlignRight | Qt::AlignVCenter);
}
} // namespace

LocalFolderModel::LocalFolderModel(QObject* parent)
    : SyncedTableModel(Titles(modeltexts::kRemoteColumns), {}, parent) {}

void LocalFolderModel::Show(const std::string& folder) {
    folder_ = folder;
    std::vector<LocalEntry> entries = ReadLocalFolder(folder);
    if (sortColumn_ >= 0)
        SortLocalEntries(entries, sortColumn_, descending_);
    Sync(entries);
}

QString LocalFolderModel::Cell(const LocalEntry& e, int column) const {
    switch (column) {
    case 0:
        return QString::fromStdString(e.Name);
    case kSizeColumn:
        return e.Folder ? QString() : SizeWithUnits(e.Size);
    default:
        return QLocale().toString(QDateTime::fromSecsSinceEpoch(e.Modified), QLocale::ShortFormat);
    }
}

QVariant LocalFolderModel::RoleData(const LocalEntry& e, int column, int role) const {
    if (role == KindRole)
        return e.Folder ? 1 : 0;
    if (column != kSizeColumn)
        return {};
    if (role == Qt::TextAlignmentRole)
        return SizeAlignment();
    if (role == Qt::ToolTipRole && !e.Folder)
        return QString::number(e.Size) + QString::fromLatin1(modeltexts::kExactBytes);
    return {};
}

QVariant LocalFolderModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal && section == kSizeColumn)
        return SizeAlignment();
    return SyncedTableModel::headerData(section, orientation, role);
}

void LocalFolderModel::sort(int column, Qt::SortOrder) {
    SortBy(column);
}

void LocalFolderModel::SortBy(int column) {
    if (column < 0 || column >= columnCount())
        return;
    descending_ = column == SortColumn() && !descending_;
    sortColumn_ = column;
    Reload();
}

bool LocalFolderModel::SameValues(const LocalEntry& a, const LocalEntry& b) const {
    return std::tie(a.Path, a.Folder, a.Size, a.Modified) ==
           std::tie(b.Path, b.Folder, b.Size, b.Modified);
}
