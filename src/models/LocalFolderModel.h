#pragma once
#include "client/LocalFolder.h"
#include "models/SyncedTableModel.h"

// One local folder as the local panel lists it: columns "Name", "Size"
// (with units, right-aligned; the exact count as tool tip) and "Modified"
// (the local time, short format). KindRole gives 1 for a folder, 0 for a
// file. Sorting by a column's header sorts sizes as numbers and times as
// times; the same column again turns the order round.
class LocalFolderModel : public SyncedTableModel<LocalEntry, std::string> {
public:
    static constexpr int KindRole = Qt::UserRole + 1;

    explicit LocalFolderModel(QObject* parent = nullptr);

    // Reads folder again; rows that stayed keep their place in the views.
    void Show(const std::string& folder);
    void Reload() { Show(folder_); }

    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Sorts by column; the same column again turns the order round.
    void SortBy(int column);
    // The column sorted by, 0 (by name) while the folder shows in its read
    // order (folders first, then by name).
    int SortColumn() const { return sortColumn_ < 0 ? 0 : sortColumn_; }
    Qt::SortOrder SortOrder() const {
        return descending_ ? Qt::DescendingOrder : Qt::AscendingOrder;
    }

    const LocalEntry& Entry(int row) const { return RowAt(row); }

private:
    QString Cell(const LocalEntry& entry, int column) const override;
    QVariant RoleData(const LocalEntry& entry, int column, int role) const override;
    std::string KeyOf(const LocalEntry& entry) const override { return entry.Name; }
    bool SameValues(const LocalEntry& a, const LocalEntry& b) const override;

    std::string folder_;
    int sortColumn_ = -1;
    bool descending_ = false;
};
