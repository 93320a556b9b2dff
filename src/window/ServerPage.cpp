#include "window/ServerPage.h"

#include "app/AppShell.h"
#include "app/AppSignals.h"
#include "models/ConnectionListModel.h"
#include "window/BannedList.h"
#include "window/LogPane.h"
#include "window/WindowTexts.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

ServerPage::ServerPage(AppShell& shell, AppSignals& events, QWidget* parent)
    : QWidget(parent), shell_(shell) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    list_ = new QTreeView(this);
    model_ = new ConnectionListModel(shell.Owner(), events, this);
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    const int widths[] = {36, 80, 120, 95, 165, 170, 80};
    for (int column = 0; column < 7; ++column)
        list_->header()->resizeSection(column, widths[column]);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (QMenu* menu = ConnectionMenu(pos)) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(list_->viewport()->mapToGlobal(pos));
        }
    });
    layout->addWidget(list_, 1);
    banned_ = new BannedList(shell, this);
    banned_->setMaximumHeight(110);
    layout->addWidget(banned_);
    log_ = new LogPane(this);
    layout->addWidget(log_);

    auto* bar = new QStatusBar(this);
    bar->setSizeGripEnabled(false);
    bar->addWidget(new QLabel(QString::fromLatin1(wintexts::kServerStatus), bar));
    status_ = new QLabel(QString::fromLatin1(wintexts::kServerStatusInitial), bar);
    status_->setFrameShape(QFrame::Panel);
    status_->setFrameShadow(QFrame::Sunken);
    status_->setMinimumWidth(220);
    bar->addWidget(status_);
    bar->addWidget(new QLabel(QString::fromLatin1(wintexts::kProtectionStatus), bar));
    refused_ = new QLabel(bar);
    refused_->setObjectName(QStringLiteral("RefusedCounts"));
    refused_->setFrameShape(QFrame::Panel);
    refused_->setFrameShadow(QFrame::Sunken);
    bar->addWidget(refused_);
    layout->addWidget(bar);
    banned_->OnReloaded = [this] {
        refused_->setText(QString::fromStdString(shell_.Owner().ProtectionText()));
    };
    banned_->Reload();
    connect(&events, &AppSignals::serverRowsReset, this, &ServerPage::ShowStatus);
}

QMenu* ServerPage::ConnectionMenu(const QPoint& pos) {
    const QModelIndex index = list_->indexAt(pos);
    if (!index.isValid())
        return nullptr;
    // The row's Id is the connection's own: the menu acts on it even if the
    // rows move meanwhile.
    const std::string id = model_->index(index.row(), 0).data().toString().toStdString();
    auto* menu = new QMenu(list_);
    QAction* kick = menu->addAction(QString::fromLatin1(wintexts::kKickConnection));
    connect(kick, &QAction::triggered, this, [this, id] { shell_.Owner().Kick(id); });
    return menu;
}

void ServerPage::ShowStatus() {
    status_->setText(QString::fromStdString(shell_.Owner().StatusText()));
}

void ServerPage::SetBottomHeight(int height) {
    log_->setFixedHeight(height);
}
