#pragma once
#include <QWidget>

class AppShell;
class AppSignals;
class BannedList;
class ConnectionListModel;
class LogPane;
class QLabel;
class QMenu;
class QPoint;
class QTreeView;

// The "Server Session" page: the connection list, the server log and the
// server status.
class ServerPage : public QWidget {
    Q_OBJECT
public:
    ServerPage(AppShell& shell, AppSignals& events, QWidget* parent = nullptr);

    QTreeView* Connections() const { return list_; }
    LogPane* Log() const { return log_; }
    QLabel* Status() const { return status_; }
    // The connection list's context menu for the row at pos of its
    // viewport ("Kick this connection"); null over no row.
    QMenu* ConnectionMenu(const QPoint& pos);
    // Counts of refused connections (bans, per-address limit).
    QLabel* Refused() const { return refused_; }
    BannedList* Banned() const { return banned_; }
    void ShowStatus();
    void SetBottomHeight(int height);

private:
    AppShell& shell_;
    QTreeView* list_ = nullptr;
    ConnectionListModel* model_ = nullptr;
    LogPane* log_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* refused_ = nullptr;
    BannedList* banned_ = nullptr;
};
