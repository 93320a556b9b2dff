#pragma once
#include "client/QueueEntry.h"
#include "window/TransferView.h"

#include <QListView>
#include <QTreeView>
#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QStackedWidget;
class LocalFolderModel;
class QToolButton;

// The local file panel of the client page: a path box with an up button over
// one folder of the local file system, shown as a detailed list or as a
// plain list. Read on the loop thread each time it is shown.
class LocalPanel : public QWidget {
    Q_OBJECT
public:
    explicit LocalPanel(QWidget* parent = nullptr);

    enum class ViewStyle { Report, List };
    void SetViewStyle(ViewStyle style);
    ViewStyle Style() const;

    // The folder shown, with a trailing "/".
    std::string Folder() const;
    void ShowFolder(const QString& path);
    void Refresh();
    // The selected items with their sizes; folders with size 0.
    std::vector<LocalItem> SelectedItems() const;
    void SelectAll();
    // Makes a new folder (numbered when the name is taken) and shows it.
    bool MakeFolder();

    QAbstractItemView* CurrentView() const;
    TransferView<QTreeView>* ReportView() const { return report_; }
    TransferView<QListView>* ListView() const { return list_; }
    QComboBox* PathBox() const { return path_; }
    // Goes to the folder typed in the path box; a folder that cannot be
    // shown is refused with the reason (returned, and shown beside the box)
    // and the list stays as it was.
    QString EnterTyped();
    const QString& LastRefusal() const { return lastRefusal_; }
    QToolButton* UpButton() const { return up_; }
    // Whether the keyboard focus is in one of the two views.
    bool HasFocus() const;

signals:
    void selectionChanged();

private:
    void Open(const QModelIndex& index);

    QComboBox* path_ = nullptr;
    QString lastRefusal_;
    QToolButton* up_ = nullptr;
    QStackedWidget* views_ = nullptr;
    TransferView<QTreeView>* report_ = nullptr;
    TransferView<QListView>* list_ = nullptr;
    LocalFolderModel* model_ = nullptr;
    QString folder_;
};
