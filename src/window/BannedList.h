#pragma once
#include <QGroupBox>

#include <functional>

class AppShell;
class QPushButton;
class QTimer;
class QTreeWidget;

// The Server Session page's banned addresses: each with its time left and
// the failed logins that led to it, refreshed every second; "Lift Ban"
// lifts the selected ones.
class BannedList : public QGroupBox {
    Q_OBJECT
public:
    BannedList(AppShell& shell, QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return tree_; }
    QPushButton* LiftButton() const { return lift_; }
    void Reload();
    // Called after every reload (the page shows the counts beside it).
    std::function<void()> OnReloaded;

private:
    void LiftSelected();

    AppShell& shell_;
    QTreeWidget* tree_ = nullptr;
    QPushButton* lift_ = nullptr;
    QTimer* timer_ = nullptr;
};
