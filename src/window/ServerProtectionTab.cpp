// The settings page's Server Protection tab (bans, connections per address,
// speed limits) and the Client Settings tab's speed limits.
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
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

RangeSpinBox* Spin(SettingBinder& binder, const char* key, const char* zeroText, QWidget* parent) {
    auto* spin = new RangeSpinBox(parent);
    spin->setObjectName(L(key));
    binder.Bind(spin, key);
    if (zeroText != nullptr)
        spin->setSpecialValueText(L(zeroText));
    return spin;
}
} // namespace

QWidget* MakeServerProtectionTab(SettingBinder& binder) {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    auto* box = new QGroupBox(L(wintexts::kProtectionGroup), tab);
    auto* form = new QFormLayout(box);
    form->setContentsMargins(6, 2, 6, 4);

    // "Ban an address after N failed logins within M minutes for H hours".
    auto* ban = new QWidget(box);
    auto* banLayout = new QHBoxLayout(ban);
    banLayout->setContentsMargins(0, 0, 0, 0);
    banLayout->addWidget(new QLabel(L(wintexts::kBanAfter), ban));
    banLayout->addWidget(Spin(binder, keys::BanAfterFailedLogins, wintexts::kBanOff, ban));
    banLayout->addWidget(new QLabel(L(wintexts::kFailedLoginsWithin), ban));
    banLayout->addWidget(Spin(binder, keys::BanWindowMinutes, nullptr, ban));
    banLayout->addWidget(new QLabel(L(wintexts::kMinutesFor), ban));
    banLayout->addWidget(Spin(binder, keys::BanHours, nullptr, ban));
    banLayout->addWidget(new QLabel(L(wintexts::kHours), ban));
    banLayout->addStretch(1);
    form->addRow(ban);

    auto* exempt = new QCheckBox(L(wintexts::kExemptLoopback), box);
    exempt->setObjectName(L(keys::ExemptLoopback));
    binder.Bind(exempt, keys::ExemptLoopback);
    form->addRow(exempt);

    form->addRow(L(wintexts::kPerAddress),
                 Spin(binder, keys::MaxConnectionsPerAddress, wintexts::kNoLimit, box));
    form->addRow(L(wintexts::kServerDownloadLimit),
                 Spin(binder, keys::ServerDownloadLimit, wintexts::kNoLimit, box));
    form->addRow(L(wintexts::kServerUploadLimit),
                 Spin(binder, keys::ServerUploadLimit, wintexts::kNoLimit, box));
    form->addRow(L(wintexts::kConnectionSpeedLimit),
                 Spin(binder, keys::ConnectionSpeedLimit, wintexts::kNoLimit, box));
    layout->addWidget(box);
    layout->addStretch(1);
    return tab;
}

QGroupBox* MakeClientLimitsBox(SettingBinder& binder, QWidget* parent) {
    auto* box = new QGroupBox(L(wintexts::kClientLimitsGroup), parent);
    auto* form = new QFormLayout(box);
    form->addRow(L(wintexts::kClientDownloadLimit),
                 Spin(binder, keys::DownloadLimit, wintexts::kNoLimit, box));
    form->addRow(L(wintexts::kClientUploadLimit),
                 Spin(binder, keys::UploadLimit, wintexts::kNoLimit, box));
    box->setMaximumWidth(420);
    return box;
}
