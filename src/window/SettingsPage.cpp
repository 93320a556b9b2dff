#include "window/SettingsPage.h"

#include "app/AppShell.h"
#include "app/AppSignals.h"
#include "window/AccountTabs.h"
#include "window/KeyPairControls.h"
#include "window/SettingBinder.h"
#include "window/SettingsTabs.h"
#include "window/WindowTexts.h"

#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

SettingsPage::SettingsPage(AppShell& shell, AppSignals& events, Prompts& prompts, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    binder_ = new SettingBinder(shell.Options(), this);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(MakeClientSettingsTab(*binder_),
                  QString::fromLatin1(wintexts::kClientSettingsTab));
    tabs_->addTab(MakeServerSettingsTab(shell, prompts, *binder_),
                  QString::fromLatin1(wintexts::kServerSettingsTab));
    keys_ = new KeyPairControls(shell, events, prompts);
    tabs_->addTab(MakeGlobalSettingsTab(*binder_, keys_),
                  QString::fromLatin1(wintexts::kGlobalSettingsTab));
    tabs_->addTab(MakeUserAdminTab(shell, prompts, *binder_),
                  QString::fromLatin1(wintexts::kUserAdminTab));
    tabs_->addTab(MakeGroupAdminTab(shell, prompts, *binder_),
                  QString::fromLatin1(wintexts::kGroupAdminTab));
    tabs_->addTab(MakeServerProtectionTab(*binder_),
                  QString::fromLatin1(wintexts::kServerProtectionTab));
    // The tabs scroll in a window smaller than they need.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(tabs_);
    layout->addWidget(scroll, 1);

    auto* bar = new QStatusBar(this);
    bar->setSizeGripEnabled(false);
    bar->addWidget(new QLabel(QString::fromLatin1(wintexts::kSettingsFile), bar));
    path_ = new QLabel(QString::fromStdString(shell.Options().SettingsPath()), bar);
    path_->setFrameShape(QFrame::Panel);
    path_->setFrameShadow(QFrame::Sunken);
    bar->addWidget(path_, 1);
    layout->addWidget(bar);

    connect(&events, &AppSignals::settingChanged, this,
            [this](const QString& key) { binder_->Changed(key.toStdString()); });
    binder_->ShowAll();
}

bool SettingsPage::RefreshAccounts() {
    auto* page = qobject_cast<AccountPage*>(tabs_->currentWidget());
    if (page == nullptr || !isVisible())
        return false;
    page->Reload();
    return true;
}

void SettingsPage::ShowLoaded() {
    binder_->ShowAll();
    keys_->ShowKeys();
}
