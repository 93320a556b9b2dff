#include "window/AccountTabs.h"

#include "app/AppShell.h"
#include "models/NameListModel.h"
#include "window/SettingBinder.h"
#include "window/WindowTexts.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

QWidget* AdminTab(SettingBinder& binder, const char* listHeader,
                  std::function<std::vector<std::string>()> names,
                  const std::vector<const char*>& detailTabs) {
    auto* tab = new QWidget;
    auto* layout = new QHBoxLayout(tab);
    auto* left = new QVBoxLayout;
    auto* list = new QTreeView(tab);
    list->setRootIsDecorated(false);
    auto* model = new NameListModel(L(listHeader), std::move(names), list);
    binder.OnShowAll([model] { model->Refresh(); });
    list->setModel(model);
    list->setMaximumWidth(200);
    left->addWidget(list, 1);
    auto* buttons = new QHBoxLayout;
    auto* buttons2 = new QHBoxLayout;
    int n = 0;
    for (const char* text : {wintexts::kNew, wintexts::kClone, wintexts::kDelete, wintexts::kRename,
                             wintexts::kSave, wintexts::kDiscard}) {
        auto* button = new QPushButton(L(text), tab);
        button->setEnabled(false);
        (n++ < 3 ? buttons : buttons2)->addWidget(button);
    }
    left->addLayout(buttons);
    left->addLayout(buttons2);
    layout->addLayout(left);
    auto* details = new QTabWidget(tab);
    for (const char* title : detailTabs) {
        auto* page = new QWidget(details);
        page->setEnabled(false);
        details->addTab(page, L(title));
    }
    layout->addWidget(details, 1);
    return tab;
}
} // namespace

QWidget* MakeUserAdminTab(AppShell& shell, SettingBinder& binder) {
    return AdminTab(
        binder, wintexts::kUsers,
        [&shell] {
            return shell.Accounts().Users().LoadNames().value_or(std::vector<std::string>{});
        },
        {wintexts::kBasicConfiguration, wintexts::kAdvancedConfiguration, wintexts::kStatistics});
}

QWidget* MakeGroupAdminTab(AppShell& shell, SettingBinder& binder) {
    return AdminTab(binder, wintexts::kGroups,
                    [&shell] {
                        return shell.Accounts().Groups().LoadNames().value_or(
                            std::vector<std::string>{});
                    },
                    {wintexts::kBasicConfiguration});
}
