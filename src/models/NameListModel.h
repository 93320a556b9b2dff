#pragma once
#include "models/SyncedTableModel.h"

#include <functional>
#include <string>
#include <vector>

// A one-column list of names: the sites of the site store, the user or the
// group names of the account pages. Refresh() reads the source again and
// changes only what differs.
class NameListModel : public SyncedTableModel<std::string, std::string> {
public:
    NameListModel(QString header, std::function<std::vector<std::string>()> source,
                  QObject* parent = nullptr);

    void Refresh();

private:
    QString Cell(const std::string& name, int) const override {
        return QString::fromStdString(name);
    }
    std::string KeyOf(const std::string& name) const override { return name; }
    bool SameValues(const std::string& a, const std::string& b) const override { return a == b; }

    std::function<std::vector<std::string>()> source_;
};
