#pragma once
// Small pieces of the account tabs' lists: icons before rows, selection by
// row, the Add and Remove buttons under a list, and edits set without moving
// the cursor.
#include <QAbstractItemView>
#include <QString>

#include <string>
#include <utility>
#include <vector>

class NameListModel;
class QIcon;
class QLineEdit;
class QToolButton;
class QTreeView;
class QVBoxLayout;

// A one-column view of model, one icon before every row, named name.
QTreeView* MakeList(QWidget* parent, const QString& name, NameListModel* model, const QIcon& icon,
                    QAbstractItemView::SelectionMode mode);
// The rows of a view that are selected, in row order.
std::vector<int> SelectedRows(const QTreeView* view);
// Selects one row, or none for a row out of range.
void SelectRow(QTreeView* view, int row);
// The Add and Remove buttons under a list, named name + "Add" and name +
// "Remove". Tool buttons: they take only the room of their text.
std::pair<QToolButton*, QToolButton*> EntryButtons(QWidget* box, QVBoxLayout* layout,
                                                   const QString& name);
// Sets an edit's text only when it differs, so the cursor of the edit being
// typed into stays where it is.
void SetText(QLineEdit* edit, const std::string& text);
// A folder path with its trailing "/" (empty stays empty).
QString Folder(QString path);
