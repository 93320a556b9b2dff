#include "window/LocalPanel.h"

#include "client/LocalFolder.h"
#include "models/LocalFolderModel.h"
#include "window/KindIconProxy.h"
#include "window/WindowTexts.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QStackedWidget>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

LocalPanel::LocalPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    auto* top = new QHBoxLayout;
    path_ = new QComboBox(this);
    path_->setEditable(true);
    path_->setInsertPolicy(QComboBox::NoInsert);
    up_ = new QToolButton(this);
    up_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up_->setToolTip(QString::fromLatin1(wintexts::kUpHint));
    top->addWidget(path_, 1);
    top->addWidget(up_);
    layout->addLayout(top);

    model_ = new LocalFolderModel(this);
    auto* icons = new KindIconProxy(LocalFolderModel::KindRole,
                                    {{1, style()->standardIcon(QStyle::SP_DirIcon)},
                                     {0, style()->standardIcon(QStyle::SP_FileIcon)}},
                                    this);
    icons->setSourceModel(model_);
    views_ = new QStackedWidget(this);
    report_ = new TransferView<QTreeView>(views_);
    report_->setModel(icons);
    report_->setRootIsDecorated(false);
    report_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    report_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_ = new TransferView<QListView>(views_);
    list_->setModel(icons);
    list_->setViewMode(QListView::ListMode);
    list_->setFlow(QListView::TopToBottom);
    list_->setWrapping(true);
    list_->setResizeMode(QListView::Adjust);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    views_->addWidget(report_);
    views_->addWidget(list_);
    layout->addWidget(views_, 1);

    connect(up_, &QToolButton::clicked, this, [this] {
        QDir dir(folder_);
        if (dir.cdUp())
            ShowFolder(dir.absolutePath());
    });
    connect(path_, &QComboBox::activated, this, [this](int) { ShowFolder(path_->currentText()); });
    connect(path_->lineEdit(), &QLineEdit::returnPressed, this, [this] { EnterTyped(); });
    // Sorted as the remote list is: a column's header sorts by it, a second
    // click turns the order round.
    report_->header()->setSectionsClickable(true);
    report_->header()->setSortIndicatorShown(true);
    report_->header()->setSortIndicator(0, Qt::AscendingOrder);
    connect(report_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        model_->SortBy(column);
        report_->header()->setSortIndicator(model_->SortColumn(), model_->SortOrder());
    });
    connect(report_, &QTreeView::doubleClicked, this, &LocalPanel::Open);
    connect(list_, &QListView::doubleClicked, this, &LocalPanel::Open);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(report_), static_cast<QAbstractItemView*>(list_)})
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &LocalPanel::selectionChanged);
}

void LocalPanel::Open(const QModelIndex& index) {
    if (!index.isValid() || index.row() >= model_->rowCount())
        return;
    const LocalEntry& entry = model_->Entry(index.row());
    if (entry.Folder)
        ShowFolder(QString::fromStdString(entry.Path));
}

std::string LocalPanel::Folder() const {
    QString folder = folder_;
    if (!folder.endsWith('/'))
        folder += '/';
    return folder.toStdString();
}

QString LocalPanel::EnterTyped() {
    const QString typed = path_->currentText().trimmed();
    const QFileInfo info(typed);
    QString refusal;
    if (typed.isEmpty() || info.absoluteFilePath() == folder_)
        refusal.clear();
    else if (!info.exists())
        refusal = QString::fromLatin1(wintexts::kNoSuchFolder);
    else if (!info.isDir())
        refusal = QString::fromLatin1(wintexts::kNotAFolder);
    else if (!info.isReadable() || !info.isExecutable())
        refusal = QString::fromLatin1(wintexts::kFolderNotReadable);
    if (refusal.isEmpty()) {
        if (!typed.isEmpty())
            ShowFolder(typed);
        path_->setCurrentText(folder_);
        return {};
    }
    // The list stays as it was; the box shows its folder again and says why.
    refusal =
        QString::fromLatin1(wintexts::kCannotOpenFolder) + typed + QStringLiteral(": ") + refusal;
    path_->setCurrentText(folder_);
    QToolTip::showText(path_->mapToGlobal(QPoint(0, path_->height())), refusal, path_);
    lastRefusal_ = refusal;
    return refusal;
}

void LocalPanel::ShowFolder(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir())
        return;
    folder_ = info.absoluteFilePath();
    if (path_->findText(folder_) < 0)
        path_->addItem(folder_);
    path_->setCurrentText(folder_);
    Refresh();
}

void LocalPanel::Refresh() {
    model_->Show(folder_.toStdString());
    report_->resizeColumnToContents(0);
    emit selectionChanged();
}

std::vector<LocalItem> LocalPanel::SelectedItems() const {
    std::vector<LocalItem> items;
    // The list view selects only the name column, the report view whole rows.
    QModelIndexList rows;
    for (const QModelIndex& index : CurrentView()->selectionModel()->selectedIndexes())
        if (index.column() == 0)
            rows << index;
    std::sort(rows.begin(), rows.end());
    for (const QModelIndex& index : rows) {
        if (index.row() >= model_->rowCount())
            continue;
        const LocalEntry& entry = model_->Entry(index.row());
        items.push_back({entry.Name, entry.Size, entry.Folder});
    }
    return items;
}

void LocalPanel::SelectAll() {
    CurrentView()->selectAll();
}

bool LocalPanel::MakeFolder() {
    const std::string made = MakeNumberedFolder(Folder(), wintexts::kNewFolderName);
    Refresh();
    return !made.empty();
}

void LocalPanel::SetViewStyle(ViewStyle style) {
    views_->setCurrentIndex(style == ViewStyle::Report ? 0 : 1);
}

LocalPanel::ViewStyle LocalPanel::Style() const {
    return views_->currentIndex() == 0 ? ViewStyle::Report : ViewStyle::List;
}

QAbstractItemView* LocalPanel::CurrentView() const {
    return qobject_cast<QAbstractItemView*>(views_->currentWidget());
}

bool LocalPanel::HasFocus() const {
    return report_->hasFocus() || list_->hasFocus();
}
