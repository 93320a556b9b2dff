#include "window/AdminLists.h"

#include "models/NameListModel.h"
#include "window/WindowTexts.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Shows one icon before every row of a list (user, group, folder).
class IconRows : public QIdentityProxyModel {
public:
    IconRows(QAbstractItemModel* source, QIcon icon, QObject* parent)
        : QIdentityProxyModel(parent), icon_(std::move(icon)) {
        setSourceModel(source);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole && index.column() == 0)
            return icon_;
        return QIdentityProxyModel::data(index, role);
    }

private:
    QIcon icon_;
};
} // namespace

QTreeView* MakeList(QWidget* parent, const QString& name, NameListModel* model, const QIcon& icon,
                    QAbstractItemView::SelectionMode mode) {
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setSelectionMode(mode);
    view->setModel(new IconRows(model, icon, view));
    return view;
}

std::vector<int> SelectedRows(const QTreeView* view) {
    std::vector<int> rows;
    for (const QModelIndex& index : view->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void SelectRow(QTreeView* view, int row) {
    if (row < 0 || row >= view->model()->rowCount()) {
        view->clearSelection();
        return;
    }
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::pair<QToolButton*, QToolButton*> EntryButtons(QWidget* box, QVBoxLayout* layout,
                                                   const QString& name) {
    auto* row = new QHBoxLayout;
    QToolButton* made[2] = {};
    int i = 0;
    for (const char* text : {wintexts::kEntryAdd, wintexts::kEntryRemove}) {
        auto* button = new QToolButton(box);
        button->setText(QString::fromLatin1(text));
        button->setObjectName(name + QString::fromLatin1(text));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        row->addWidget(button);
        made[i++] = button;
    }
    layout->addLayout(row);
    return {made[0], made[1]};
}

void SetText(QLineEdit* edit, const std::string& text) {
    if (edit->text() != QString::fromStdString(text))
        edit->setText(QString::fromStdString(text));
}

QString Folder(QString path) {
    if (!path.isEmpty() && !path.endsWith('/'))
        path += '/';
    return path;
}
