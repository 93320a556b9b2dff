#include "app/SettingsKeys.h"
#include "window/RangeSpinBox.h"
#include "window/SettingBinder.h"
#include "window/SettingsTabs.h"
#include "window/WindowTexts.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

QWidget* MakeClientSettingsTab(SettingBinder& binder) {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    auto* proxy = new QGroupBox(QString::fromLatin1(wintexts::kProxyGroup), tab);
    auto* form = new QFormLayout(proxy);
    const std::pair<const char*, const char*> fields[] = {
        {wintexts::kSocksServer, keys::SocksServer},
        {wintexts::kSocksPort, keys::SocksPort},
        {wintexts::kSocksUsername, keys::SocksUsername},
        {wintexts::kSocksPassword, keys::SocksPassword},
    };
    for (const auto& [label, key] : fields) {
        auto* edit = new QLineEdit(proxy);
        edit->setObjectName(QString::fromLatin1(key));
        if (key == keys::SocksPassword)
            edit->setEchoMode(QLineEdit::Password);
        binder.Bind(edit, key);
        form->addRow(QString::fromLatin1(label), edit);
    }
    proxy->setMaximumWidth(420);
    layout->addWidget(proxy);
    auto* passive = new QCheckBox(QString::fromLatin1(wintexts::kPassiveMode), tab);
    passive->setObjectName(QString::fromLatin1(keys::PassiveMode));
    binder.Bind(passive, keys::PassiveMode);
    layout->addWidget(passive);
    // How long the client waits for a server's greeting and each reply.
    auto* timeoutRow = new QWidget(tab);
    auto* timeoutLayout = new QHBoxLayout(timeoutRow);
    timeoutLayout->setContentsMargins(0, 0, 0, 0);
    timeoutLayout->addWidget(new QLabel(QString::fromLatin1(wintexts::kClientTimeout), timeoutRow));
    auto* timeout = new RangeSpinBox(timeoutRow);
    timeout->setObjectName(QString::fromLatin1(keys::ClientTimeout));
    binder.Bind(timeout, keys::ClientTimeout);
    timeoutLayout->addWidget(timeout);
    timeoutLayout->addWidget(new QLabel(QString::fromLatin1(wintexts::kSeconds), timeoutRow));
    timeoutLayout->addStretch(1);
    layout->addWidget(timeoutRow);
    layout->addWidget(MakeClientLimitsBox(binder, tab));
    layout->addStretch(1);
    return tab;
}
