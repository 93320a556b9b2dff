#include "models/NameListModel.h"

NameListModel::NameListModel(QString header, std::function<std::vector<std::string>()> source,
                             QObject* parent)
    : SyncedTableModel(parent), header_(std::move(header)), source_(std::move(source)) {
    names_ = source_();
}

void NameListModel::Refresh() {
    Sync(
        names_, source_(), [](const std::string& name) { return name; },
        [](const std::string& a, const std::string& b) { return a == b; });
}

int NameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

int NameListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant NameListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return QString::fromStdString(names_[static_cast<std::size_t>(index.row())]);
}

QVariant NameListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section != 0)
        return {};
    return header_;
}
