// The client page's commands, selections, focus marks and drag and drop.
#include "app/AppShell.h"

#include "client/ClientSession.h"
#include "models/RemoteListingModel.h"
#include "models/TransferQueueModel.h"
#include "window/ClientPage.h"
#include "window/CommandMap.h"
#include "window/KindIconProxy.h"
#include "window/WindowTexts.h"

#include <QApplication>
#include <QComboBox>
#include <QDataStream>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <map>

namespace {
// What a drag from the remote list carries: the captions of its items.
constexpr const char* kRemoteItemsMime = "application/x-vexa-remote-items";

void MarkFocus(QFrame* strip, bool focused) {
    QPalette palette = strip->palette();
    palette.setColor(QPalette::Window,
                     focused ? QColor(0, 0, 255) : QApplication::palette().color(QPalette::Button));
    strip->setPalette(palette);
}

bool Within(const QWidget* widget, const QWidget* ancestor) {
    return widget != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

std::vector<int> SelectedRows(const QAbstractItemView* view) {
    std::vector<int> rows;
    for (const QModelIndex& index : view->selectionModel()->selectedIndexes())
        if (index.column() == 0)
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}
} // namespace

// ------------------------------------------------------------ focus and state

void ClientPage::FocusChanged(QWidget* now) {
    if (Within(now, local_))
        active_ = Panel::Local;
    else if (Within(now, remoteList_))
        active_ = Panel::Remote;
    else if (Within(now, queue_))
        active_ = Panel::Queue;
    else {
        // Focus elsewhere (a log, a menu): the commands keep their panel,
        // the strips show that neither list holds the focus.
        MarkFocus(localStrip_, false);
        MarkFocus(remoteStrip_, false);
        return;
    }
    MarkActive();
}

void ClientPage::MarkActive() {
    MarkFocus(localStrip_, active_ == Panel::Local);
    MarkFocus(remoteStrip_, active_ == Panel::Remote);
}

void ClientPage::PointAt(QWidget* panel) {
    QWidget* focus = nullptr;
    if (Within(panel, local_)) {
        active_ = Panel::Local;
        focus = local_->CurrentView();
    } else if (Within(panel, remoteList_)) {
        active_ = Panel::Remote;
        focus = remoteList_;
    } else if (Within(panel, queue_)) {
        active_ = Panel::Queue;
        focus = queue_;
    } else {
        return;
    }
    // The panel is set here, not only by the focus change: a window that is
    // not active gets no focus-change notice.
    focus->setFocus(Qt::PopupFocusReason);
    MarkActive();
}

// Upload follows the local selection, Download the remote one.
void ClientPage::ShowSelectionCommands() {
    commands_.SetEnabled(Command::Upload, !local_->SelectedItems().empty());
    commands_.SetEnabled(Command::Download, !SelectedRemoteItems().empty());
}

// Remove from Queue follows the queue's selection.
void ClientPage::ShowQueueSelection() {
    commands_.SetEnabled(Command::RemoveFromQueue, !SelectedRows(queue_).empty());
}

void ClientPage::ShowGroups() {
    const ClientCommandGroups& groups = shell_.Client().Groups();
    commands_.SetEnabled(Command::TransferQueue, groups.TransferQueue);
    commands_.SetEnabled(Command::RemoveAllItems, groups.TransferQueue);
}

bool ClientPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == remotePath_->lineEdit()) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            active_ = Panel::Remote;
            ChangeDirectory();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- selections

std::vector<RemoteItem> ClientPage::SelectedRemoteItems() const {
    std::vector<RemoteItem> items;
    for (int row : SelectedRows(remoteList_))
        if (row < remoteModel_->rowCount())
            items.push_back(remoteModel_->Item(row));
    return items;
}

// Acts on exactly one item: the one double-clicked, unless more are selected.
void ClientPage::RemoteDoubleClicked(const QModelIndex& index) {
    if (!index.isValid() || index.row() >= remoteModel_->rowCount() ||
        SelectedRemoteItems().size() > 1)
        return;
    const std::vector<RemoteItem> items = {remoteModel_->Item(index.row())};
    const RemoteOpen open = OpenActionFor(items.front());
    if (open.action == RemoteOpenAction::EnterFolder)
        shell_.Client().OpenRemoteFolder(open.folder);
    else if (open.action == RemoteOpenAction::QueueDownload)
        shell_.Queue().AddDownloads(items, local_->Folder());
}

// ------------------------------------------------------------- drag and drop

QMimeData* ClientPage::RemoteDragData() const {
    const std::vector<RemoteItem> items = SelectedRemoteItems();
    if (items.empty())
        return nullptr;
    QStringList captions;
    for (const RemoteItem& item : items)
        captions << QString::fromStdString(item.Caption);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << captions;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kRemoteItemsMime), bytes);
    return mime;
}

QMimeData* ClientPage::LocalDragData() const {
    const std::vector<LocalItem> items = local_->SelectedItems();
    if (items.empty())
        return nullptr;
    QList<QUrl> urls;
    const QString folder = QString::fromStdString(local_->Folder());
    for (const LocalItem& item : items)
        urls << QUrl::fromLocalFile(folder + QString::fromStdString(item.Name));
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

bool ClientPage::TakesRemoteItems(const QMimeData* mime) const {
    return Connected() && mime != nullptr && mime->hasFormat(QString::fromLatin1(kRemoteItemsMime));
}

bool ClientPage::TakesLocalFiles(const QMimeData* mime) const {
    if (!Connected() || mime == nullptr || !mime->hasUrls())
        return false;
    for (const QUrl& url : mime->urls())
        if (!url.isLocalFile())
            return false;
    return true;
}

// The remote items are looked up again by caption in the list now shown.
void ClientPage::QueueRemoteItems(const QMimeData* mime) {
    QStringList captions;
    QDataStream in(mime->data(QString::fromLatin1(kRemoteItemsMime)));
    in >> captions;
    std::vector<RemoteItem> items;
    for (const RemoteItem& item : shell_.Client().RemoteItems())
        if (captions.contains(QString::fromStdString(item.Caption)))
            items.push_back(item);
    if (!items.empty())
        shell_.Queue().AddDownloads(items, local_->Folder());
}

// Local files are queued folder by folder, each with the sizes it has now.
void ClientPage::QueueLocalFiles(const QMimeData* mime) {
    std::map<std::string, std::vector<LocalItem>> byFolder;
    for (const QUrl& url : mime->urls()) {
        const QFileInfo info(url.toLocalFile());
        if (!info.exists() || info.fileName().isEmpty())
            continue;
        LocalItem item;
        item.Name = info.fileName().toStdString();
        item.Folder = info.isDir();
        item.Size = item.Folder ? 0 : info.size();
        byFolder[info.absolutePath().toStdString() + "/"].push_back(std::move(item));
    }
    for (const auto& [folder, items] : byFolder)
        shell_.Queue().AddUploads(items, folder);
}

// ------------------------------------------------------------------ commands

void ClientPage::Refresh() {
    if (active_ == Panel::Local)
        local_->Refresh();
    else if (Connected())
        shell_.Client().Refresh();
}

void ClientPage::SelectAll() {
    switch (active_) {
    case Panel::Local:
        local_->SelectAll();
        break;
    case Panel::Remote:
        remoteList_->selectAll();
        break;
    case Panel::Queue:
        queue_->selectAll();
        break;
    }
}

void ClientPage::ChangeDirectory() {
    if (active_ == Panel::Local) {
        auto* dialog = new QFileDialog(this, QString::fromLatin1(wintexts::kChangeDirectoryTitle),
                                       QString::fromStdString(local_->Folder()));
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, this,
                [this](const QString& folder) { local_->ShowFolder(folder); });
        dialog->open();
        return;
    }
    // Only while the remote list can be moved in.
    if (!shell_.Client().Groups().RemoteUp)
        return;
    prompts_.AskTextLater(wintexts::kChangeDirectoryTitle, wintexts::kChangeDirectoryPrompt, "",
                          [this](std::optional<std::string> answer) {
                              if (answer && !answer->empty())
                                  shell_.Client().ChangeDirectory(*answer);
                          });
}

void ClientPage::MakeDirectory() {
    if (active_ == Panel::Local) {
        local_->MakeFolder();
        return;
    }
    if (active_ != Panel::Remote || !Connected())
        return;
    prompts_.AskTextLater(wintexts::kCreateDirectoryTitle, wintexts::kCreateDirectoryPrompt, "",
                          [this](std::optional<std::string> answer) {
                              if (answer && !answer->empty())
                                  shell_.Client().MakeDirectory(*answer);
                          });
}

// With the remote list active the selection is queued for deletion; with
// the queue active the selected entries are removed.
void ClientPage::Delete() {
    if (active_ == Panel::Queue) {
        RemoveFromQueue();
        return;
    }
    if (active_ != Panel::Remote || !Connected())
        return;
    const std::vector<RemoteItem> items = SelectedRemoteItems();
    if (!items.empty())
        shell_.Queue().AddDeletes(items);
}

void ClientPage::Upload() {
    if (!Connected())
        return;
    const std::vector<LocalItem> items = local_->SelectedItems();
    if (!items.empty())
        shell_.Queue().AddUploads(items, local_->Folder());
}

void ClientPage::Download() {
    if (!Connected())
        return;
    std::vector<RemoteItem> items = SelectedRemoteItems();
    if (!items.empty())
        shell_.Queue().AddDownloads(items, local_->Folder());
}

void ClientPage::RunQueue() {
    shell_.Queue().Run();
}

void ClientPage::RemoveFromQueue() {
    std::vector<int> ids;
    for (int row : SelectedRows(queue_))
        ids.push_back(
            queueModel_->data(queueModel_->index(row, 0), TransferQueueModel::IdRole).toInt());
    if (!ids.empty())
        shell_.Queue().Remove(ids);
}

void ClientPage::RemoveAllItems() {
    shell_.Queue().RemoveAll();
}
