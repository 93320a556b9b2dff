#pragma once
#include "client/QueueEntry.h"
#include "client/RemoteListing.h"
#include "window/LocalPanel.h"
#include "window/TransferView.h"

#include <QTreeView>
#include <QWidget>

#include <string>
#include <vector>

class AppShell;
class AppSignals;
class CommandMap;
class KindIconProxy;
class LogPane;
class Prompts;
class QComboBox;
class QFrame;
class QLabel;
class QMimeData;
class QStatusBar;
class QToolButton;
class RemoteListingModel;
class TransferQueueModel;

// The "Client Session" page: the encryption indicators, the local file panel
// and the remote list side by side, the transfer queue with its totals and
// the running transfer's figures, and the client log. Its commands act on
// the panel that had the focus last; the session, the queue and the site
// decide everything else.
class ClientPage : public QWidget {
    Q_OBJECT
public:
    ClientPage(AppShell& shell, AppSignals& events, Prompts& prompts, CommandMap& commands,
               QWidget* parent = nullptr);
    ~ClientPage() override;

    using ViewStyle = LocalPanel::ViewStyle;
    void SetLocalViewStyle(ViewStyle style) { local_->SetViewStyle(style); }
    ViewStyle LocalViewStyle() const { return local_->Style(); }

    // The local panel's current view; both views of it.
    QWidget* LocalList() const { return local_->CurrentView(); }
    QWidget* LocalPanelWidget() const { return local_; }
    ::LocalPanel* Local() const { return local_; }
    TransferView<QTreeView>* RemoteList() const { return remoteList_; }
    TransferView<QTreeView>* Queue() const { return queue_; }
    QComboBox* RemotePath() const { return remotePath_; }
    QToolButton* RemoteUp() const { return remoteUp_; }
    LogPane* Log() const { return log_; }
    QWidget* QueuePanel() const { return queuePanel_; }
    // The 10-pixel focus strips above the local panel and the remote list.
    QFrame* LocalStrip() const { return localStrip_; }
    QFrame* RemoteStrip() const { return remoteStrip_; }
    // The value panel of an indicator: 0 Encryption .. 3 Command Port Encryption.
    QLabel* Indicator(int index) const { return indicators_[index]; }
    // StatusBar2: 0 Queue Size, 1 Total Bytes, 2 the kind, 3 the path.
    QLabel* Totals(int index) const { return totals_[index]; }
    // StatusBar5: 0 File Size, 1 Bytes, 2 Total Bytes, 3 Speed, 4 % Done, 5 Remain.
    QLabel* Figure(int index) const { return figures_[index]; }
    // The "Command Port Encryption" panel shows what the current session's
    // key exchange gave, and between sessions the state of the program's
    // key pair (loaded, generated, cleared).
    void ShowKeyPairState();
    // The bottom panels each take a share of the page's height.
    void SetBottomHeight(int height);

    // The selections, as the queue takes them.
    std::vector<RemoteItem> SelectedRemoteItems() const;
    // What a drag of each panel's selection carries.
    QMimeData* RemoteDragData() const;
    QMimeData* LocalDragData() const;

    // Commands of the menus, the toolbar and the pop-ups.
    void Refresh();
    void SelectAll();
    void ChangeDirectory();
    void MakeDirectory();
    void Delete();
    void Upload();
    void Download();
    void RunQueue();
    void RemoveFromQueue();
    void RemoveAllItems();
    // Follows the session's command groups for the queue's entries.
    void ShowGroups();
    // A pop-up menu opens over the local panel, the remote list or the
    // queue: that one takes the focus and the menu's commands act on it,
    // whichever was clicked before.
    void PointAt(QWidget* panel);

private:
    enum class Panel { Local, Remote, Queue };
    void ShowIndicators();
    void ShowTotals();
    void ShowListing();
    void FocusChanged(QWidget* now);
    void MarkActive();
    void ShowSelectionCommands();
    void ShowQueueSelection();
    void RemoteDoubleClicked(const QModelIndex& index);
    bool Connected() const;
    // Drops: remote items go to the local folder, local files to the remote
    // directory; both through the queue.
    bool TakesRemoteItems(const QMimeData* mime) const;
    bool TakesLocalFiles(const QMimeData* mime) const;
    void QueueRemoteItems(const QMimeData* mime);
    void QueueLocalFiles(const QMimeData* mime);
    bool eventFilter(QObject* watched, QEvent* event) override;

    AppShell& shell_;
    Prompts& prompts_;
    CommandMap& commands_;
    Panel active_ = Panel::Remote;
    QLabel* indicators_[4] = {};
    QLabel* totals_[4] = {};
    QLabel* figures_[6] = {};
    ::LocalPanel* local_ = nullptr;
    QFrame* localStrip_ = nullptr;
    QFrame* remoteStrip_ = nullptr;
    QComboBox* remotePath_ = nullptr;
    QToolButton* remoteUp_ = nullptr;
    TransferView<QTreeView>* remoteList_ = nullptr;
    RemoteListingModel* remoteModel_ = nullptr;
    KindIconProxy* remoteIcons_ = nullptr;
    QWidget* queuePanel_ = nullptr;
    TransferView<QTreeView>* queue_ = nullptr;
    TransferQueueModel* queueModel_ = nullptr;
    LogPane* log_ = nullptr;
};
