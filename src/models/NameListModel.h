#pragma once
#include "models/SyncedTableModel.h"

#include <functional>
#include <string>
#include <vector>

// A one-column list of names: the sites of the site store, the user or the
// group names of the account pages. Refresh() reads the source again and
// changes only what differs.
class NameListModel : public SyncedTableModel {
public:
    NameListModel(QString header, std::function<std::vector<std::string>()> source,
                  QObject* parent = nullptr);

    void Refresh();
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString header_;
    std::function<std::vector<std::string>()> source_;
    std::vector<std::string> names_;
};
