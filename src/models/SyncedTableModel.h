#pragma once
#include <QAbstractTableModel>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <set>
#include <string>
#include <vector>

// A table model over a vector of rows that brings its copy up to date with
// a fresh vector through the smallest change it can tell: rows that went
// are removed, rows that came are inserted, rows whose values changed send
// dataChanged. So a view keeps its selection and scroll position while the
// rows change under it. Only when rows changed their order (or keys repeat)
// is the model reset.
//
// A model names its column titles, says which text each cell shows, what
// identifies a row (Key) and whether two rows show the same values; the
// counts and the headers are kept here.
template <class Row, class Key> class SyncedTableModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(titles_.size());
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        const Row* row = RowOf(index);
        if (row == nullptr)
            return {};
        if (role == Qt::DisplayRole)
            return Cell(*row, index.column());
        return RoleData(*row, index.column(), role);
    }
    // Horizontal headers show the column titles.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
            section >= columnCount())
            return {};
        return titles_[static_cast<std::size_t>(section)];
    }

protected:
    SyncedTableModel(std::vector<QString> titles, std::vector<Row> rows, QObject* parent)
        : QAbstractTableModel(parent), titles_(std::move(titles)), rows_(std::move(rows)) {}

    template <std::size_t N> static std::vector<QString> Titles(const char* const (&names)[N]) {
        std::vector<QString> titles;
        for (const char* name : names)
            titles.push_back(QString::fromLatin1(name));
        return titles;
    }

    // The text of one cell; the column is one of the model's.
    virtual QString Cell(const Row& row, int column) const = 0;
    // What roles other than the display text give (nothing unless overridden).
    virtual QVariant RoleData(const Row&, int, int) const { return {}; }
    virtual Key KeyOf(const Row& row) const = 0;
    virtual bool SameValues(const Row& a, const Row& b) const = 0;

    // The row an index points at; null for an index outside the rows.
    const Row* RowOf(const QModelIndex& index) const {
        if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
            return nullptr;
        return &rows_[static_cast<std::size_t>(index.row())];
    }
    const Row& RowAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    const std::vector<Row>& Rows() const { return rows_; }

    void Sync(const std::vector<Row>& fresh) {
        std::set<Key> oldKeys, newKeys;
        for (const Row& r : rows_)
            oldKeys.insert(KeyOf(r));
        for (const Row& r : fresh)
            newKeys.insert(KeyOf(r));
        // Nothing in common (another folder): one reset, not a signal a row.
        if (oldKeys.size() != rows_.size() || newKeys.size() != fresh.size() ||
            !CommonKeysInOrder(fresh, oldKeys, newKeys) || NoneInCommon(oldKeys, newKeys)) {
            beginResetModel();
            rows_ = fresh;
            endResetModel();
            return;
        }
        for (int i = static_cast<int>(rows_.size()) - 1; i >= 0; --i) {
            if (newKeys.count(KeyOf(rows_[static_cast<std::size_t>(i)])) == 0) {
                beginRemoveRows({}, i, i);
                rows_.erase(rows_.begin() + i);
                endRemoveRows();
            }
        }
        for (std::size_t j = 0; j < fresh.size(); ++j) {
            if (j >= rows_.size() || KeyOf(rows_[j]) != KeyOf(fresh[j])) {
                const int at = static_cast<int>(j);
                beginInsertRows({}, at, at);
                rows_.insert(rows_.begin() + at, fresh[j]);
                endInsertRows();
            } else if (!SameValues(rows_[j], fresh[j])) {
                rows_[j] = fresh[j];
                RowChanged(static_cast<int>(j));
            }
        }
    }

    // One row of fresh changed: taken alone while it is still the row the
    // model holds there; a row index that no longer matches asks for a full
    // sync.
    void SyncRow(int row, const std::vector<Row>& fresh) {
        const auto at = static_cast<std::size_t>(row);
        if (row < 0 || at >= fresh.size() || at >= rows_.size() ||
            KeyOf(rows_[at]) != KeyOf(fresh[at])) {
            Sync(fresh);
            return;
        }
        rows_[at] = fresh[at];
        RowChanged(row);
    }

    // One row's values changed: every column of it.
    void RowChanged(int row) {
        emit dataChanged(index(row, 0), index(row, std::max(0, columnCount() - 1)));
    }

private:
    static bool NoneInCommon(const std::set<Key>& a, const std::set<Key>& b) {
        if (a.empty() || b.empty())
            return false;
        for (const Key& k : a)
            if (b.count(k))
                return false;
        return true;
    }
    bool CommonKeysInOrder(const std::vector<Row>& fresh, const std::set<Key>& oldKeys,
                           const std::set<Key>& newKeys) const {
        std::vector<Key> a, b;
        for (const Row& r : rows_)
            if (newKeys.count(KeyOf(r)))
                a.push_back(KeyOf(r));
        for (const Row& r : fresh)
            if (oldKeys.count(KeyOf(r)))
                b.push_back(KeyOf(r));
        return a == b;
    }

    std::vector<QString> titles_;
    std::vector<Row> rows_;
};
