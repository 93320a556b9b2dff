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
    // A number with its label (and unit) on one row.
    auto spinRow = [&](const char* label, const char* key, const char* unit) {
        auto* row = new QWidget(tab);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->addWidget(new QLabel(QString::fromLatin1(label), row));
        auto* spin = new RangeSpinBox(row);
        spin->setObjectName(QString::fromLatin1(key));
        binder.Bind(spin, key);
        rowLayout->addWidget(spin);
        if (unit)
            rowLayout->addWidget(new QLabel(QString::fromLatin1(unit), row));
        rowLayout->addStretch(1);
        layout->addWidget(row);
    };
    // How long the client waits for a server's greeting and each reply.
    spinRow(wintexts::kClientTimeout, keys::ClientTimeout, wintexts::kSeconds);
    // Transfers a queue runs at once, each on its own connection.
    spinRow(wintexts::kMaxSimultaneousTransfers, keys::MaxSimultaneousTransfers, nullptr);
    layout->addWidget(MakeClientLimitsBox(binder, tab));
    layout->addStretch(1);
    return tab;
}
