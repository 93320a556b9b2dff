#include "window/BannedList.h"

#include "accounts/AccountTexts.h"
#include "app/AppShell.h"
#include "window/WindowTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

BannedList::BannedList(AppShell& shell, QWidget* parent)
    : QGroupBox(QString::fromLatin1(wintexts::kBannedGroup), parent), shell_(shell) {
    setObjectName(QStringLiteral("BannedList"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 4);
    tree_ = new QTreeWidget(this);
    tree_->setHeaderLabels({QString::fromLatin1(wintexts::kBannedAddress),
                            QString::fromLatin1(wintexts::kBannedLeft),
                            QString::fromLatin1(wintexts::kBannedFailures)});
    tree_->setRootIsDecorated(false);
    tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree_->setColumnWidth(0, 200);
    layout->addWidget(tree_, 1);
    auto* buttons = new QVBoxLayout;
    lift_ = new QPushButton(QString::fromLatin1(wintexts::kLiftBan), this);
    buttons->addWidget(lift_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(lift_, &QPushButton::clicked, this, &BannedList::LiftSelected);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this,
            [this] { lift_->setEnabled(!tree_->selectedItems().isEmpty()); });
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &BannedList::Reload);
    timer_->start();
    Reload();
}

void BannedList::Reload() {
    auto& protection = shell_.Owner().Protection();
    const auto bans = protection.Bans();
    const std::int64_t now = protection.WallMs();
    QStringList selected;
    for (const QTreeWidgetItem* item : tree_->selectedItems())
        selected << item->text(0);
    // Rows are updated in place so a selection survives the refresh.
    while (tree_->topLevelItemCount() > static_cast<int>(bans.size()))
        delete tree_->takeTopLevelItem(tree_->topLevelItemCount() - 1);
    for (std::size_t i = 0; i < bans.size(); ++i) {
        QTreeWidgetItem* item = tree_->topLevelItem(static_cast<int>(i));
        if (item == nullptr)
            item = new QTreeWidgetItem(tree_);
        const QString address = QString::fromStdString(bans[i].address);
        item->setText(0, address);
        item->setText(1, QString::fromStdString(
                             accounts::texts::Remaining((bans[i].untilMs - now + 999) / 1000)));
        item->setText(2, QString::number(bans[i].failures));
        item->setSelected(selected.contains(address));
    }
    lift_->setEnabled(!tree_->selectedItems().isEmpty());
    if (OnReloaded)
        OnReloaded();
}

void BannedList::LiftSelected() {
    for (const QTreeWidgetItem* item : tree_->selectedItems())
        shell_.Owner().Protection().Lift(item->text(0).toStdString());
    Reload();
}
