#pragma once
#include <QWidget>

#include <string>

class AppShell;
class AppSignals;
class LogPane;
class QComboBox;
class QLabel;
class QListView;
class QStackedWidget;
class QStandardItemModel;
class QStatusBar;
class QToolButton;
class QTreeView;
class QTreeWidget;
class RemoteListingModel;

// The "Client Session" page: the encryption indicators, the local file panel
// and the remote list side by side, the transfer queue and the client log.
class ClientPage : public QWidget {
    Q_OBJECT
public:
    ClientPage(AppShell& shell, AppSignals& events, QWidget* parent = nullptr);

    enum class ViewStyle { Report, List };
    void SetLocalViewStyle(ViewStyle style);
    ViewStyle LocalViewStyle() const;

    QWidget* LocalList() const;
    // Both views of the local panel.
    QWidget* LocalPanel() const;
    QTreeView* RemoteList() const { return remoteList_; }
    QTreeWidget* Queue() const { return queue_; }
    LogPane* Log() const { return log_; }
    QWidget* QueuePanel() const { return queuePanel_; }
    // The value panel of an indicator: 0 Encryption .. 3 Command Port Encryption.
    QLabel* Indicator(int index) const { return indicators_[index]; }
    // The "Command Port Encryption" panel shows the last word of either
    // side: the program's key pair (loaded, generated, cleared) or the
    // session's negotiation.
    void ShowKeyPairState(const std::string& state);
    // The bottom panels each take a share of the page's height.
    void SetBottomHeight(int height);

private:
    void ShowIndicators();
    void ShowLocalFolder(const QString& path);

    AppShell& shell_;
    std::string sessionCommandPort_;
    QLabel* indicators_[4] = {};
    QComboBox* localPath_ = nullptr;
    QStackedWidget* localViews_ = nullptr;
    QTreeView* localReport_ = nullptr;
    QListView* localList_ = nullptr;
    QStandardItemModel* localModel_ = nullptr;
    QComboBox* remotePath_ = nullptr;
    QToolButton* remoteUp_ = nullptr;
    QTreeView* remoteList_ = nullptr;
    RemoteListingModel* remoteModel_ = nullptr;
    QWidget* queuePanel_ = nullptr;
    QTreeWidget* queue_ = nullptr;
    LogPane* log_ = nullptr;
};
