#include "models/NameListModel.h"

NameListModel::NameListModel(QString header, std::function<std::vector<std::string>()> source,
                             QObject* parent)
    : SyncedTableModel({std::move(header)}, source(), parent), source_(std::move(source)) {}

void NameListModel::Refresh() {
    Sync(source_());
}
