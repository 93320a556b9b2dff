#pragma once
#include <QAbstractTableModel>

#include <algorithm>
#include <set>
#include <type_traits>
#include <vector>

// A table model over a vector of rows that brings its copy up to date with
// a fresh vector through the smallest change it can tell: rows that went
// are removed, rows that came are inserted, rows whose values changed send
// dataChanged. So a view keeps its selection and scroll position while the
// rows change under it. Only when rows changed their order (or keys repeat)
// is the model reset.
class SyncedTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

protected:
    // keyOf(row) identifies a row; same(a, b) tells whether two rows show
    // the same values.
    template <class Row, class KeyOf, class Same>
    void Sync(std::vector<Row>& rows, const std::vector<Row>& fresh, KeyOf keyOf, Same same) {
        using Key = std::decay_t<decltype(keyOf(fresh.front()))>;
        std::set<Key> oldKeys, newKeys;
        for (const Row& r : rows)
            oldKeys.insert(keyOf(r));
        for (const Row& r : fresh)
            newKeys.insert(keyOf(r));
        if (oldKeys.size() != rows.size() || newKeys.size() != fresh.size() ||
            !CommonKeysInOrder(rows, fresh, keyOf, oldKeys, newKeys)) {
            beginResetModel();
            rows = fresh;
            endResetModel();
            return;
        }
        for (int i = static_cast<int>(rows.size()) - 1; i >= 0; --i) {
            if (newKeys.count(keyOf(rows[static_cast<std::size_t>(i)])) == 0) {
                beginRemoveRows({}, i, i);
                rows.erase(rows.begin() + i);
                endRemoveRows();
            }
        }
        for (std::size_t j = 0; j < fresh.size(); ++j) {
            if (j >= rows.size() || keyOf(rows[j]) != keyOf(fresh[j])) {
                const int at = static_cast<int>(j);
                beginInsertRows({}, at, at);
                rows.insert(rows.begin() + at, fresh[j]);
                endInsertRows();
            } else if (!same(rows[j], fresh[j])) {
                rows[j] = fresh[j];
                RowChanged(static_cast<int>(j));
            }
        }
    }

    // One row's values changed: every column of it.
    void RowChanged(int row) {
        emit dataChanged(index(row, 0), index(row, std::max(0, columnCount() - 1)));
    }

private:
    template <class Row, class KeyOf, class Keys>
    static bool CommonKeysInOrder(const std::vector<Row>& rows, const std::vector<Row>& fresh,
                                  KeyOf keyOf, const Keys& oldKeys, const Keys& newKeys) {
        using Key = std::decay_t<decltype(keyOf(fresh.front()))>;
        std::vector<Key> a, b;
        for (const Row& r : rows)
            if (newKeys.count(keyOf(r)))
                a.push_back(keyOf(r));
        for (const Row& r : fresh)
            if (oldKeys.count(keyOf(r)))
                b.push_back(keyOf(r));
        return a == b;
    }
};
