#include "app/SettingsKeys.h"
#include "window/PathRow.h"
#include "window/SettingBinder.h"
#include "window/SettingsTabs.h"
#include "window/WindowTexts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

QCheckBox* Box(SettingBinder& binder, const char* text, const char* key, QWidget* parent) {
    auto* box = new QCheckBox(L(text), parent);
    box->setObjectName(L(key));
    binder.Bind(box, key);
    return box;
}

} // namespace

QWidget* MakeGlobalSettingsTab(SettingBinder& binder, QWidget* keyPairControls) {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    auto* top = new QHBoxLayout;

    auto* logging = new QGroupBox(L(wintexts::kLoggingGroup), tab);
    auto* logGrid = new QGridLayout(logging);
    logGrid->setContentsMargins(6, 2, 6, 4);
    logGrid->setVerticalSpacing(2);
    logGrid->addWidget(Box(binder, wintexts::kMaskPasswords, keys::MaskPasswords, logging), 0, 0);
    logGrid->addWidget(Box(binder, wintexts::kTimestampEvents, keys::TimestampEvents, logging), 1,
                       0);
    logGrid->addWidget(Box(binder, wintexts::kVerboseLogging, keys::VerboseLogging, logging), 2, 0);
    logGrid->addWidget(Box(binder, wintexts::kLogToFile, keys::LogToFile, logging), 0, 1);
    logGrid->addWidget(Box(binder, wintexts::kTimestampLogs, keys::TimestampLogs, logging), 1, 1);
    logGrid->addWidget(Box(binder, wintexts::kAppendLogs, keys::AppendLogs, logging), 2, 1);
    logGrid->addWidget(Box(binder, wintexts::kShowClientLog, keys::ShowClientLogWindow, logging), 0,
                       2);
    logGrid->addWidget(Box(binder, wintexts::kShowServerLog, keys::ShowServerLogWindow, logging), 1,
                       2);
    logGrid->addWidget(new QLabel(L(wintexts::kClientLogFile), logging), 3, 0);
    logGrid->addWidget(MakePathRow(binder, keys::ClientLogFile, PathKind::LogFile, logging), 3, 1,
                       1, 2);
    logGrid->addWidget(new QLabel(L(wintexts::kServerLogFile), logging), 4, 0);
    logGrid->addWidget(MakePathRow(binder, keys::ServerLogFile, PathKind::LogFile, logging), 4, 1,
                       1, 2);
    top->addWidget(logging, 3);

    auto* misc = new QGroupBox(L(wintexts::kMiscGroup), tab);
    auto* miscLayout = new QVBoxLayout(misc);
    miscLayout->setContentsMargins(6, 2, 6, 4);
    miscLayout->setSpacing(2);
    miscLayout->addWidget(
        Box(binder, wintexts::kCheckForUpdate, keys::CheckForUpdateOnStartup, misc));
    miscLayout->addWidget(Box(binder, wintexts::kStartMaximized, keys::StartMaximized, misc));
    miscLayout->addWidget(Box(binder, wintexts::kStartMinimized, keys::StartMinimized, misc));
    miscLayout->addWidget(Box(binder, wintexts::kMinimizeToTray, keys::MinimizeToTray, misc));
    miscLayout->addWidget(Box(binder, wintexts::kHideFromTaskbar, keys::HideFromTaskbar, misc));
    miscLayout->addWidget(
        Box(binder, wintexts::kDeleteTemporary, keys::DeleteTemporaryFiles, misc));
    miscLayout->addStretch(1);
    top->addWidget(misc, 2);
    layout->addLayout(top);

    auto* keyGroup = new QGroupBox(L(wintexts::kKeyGroup), tab);
    auto* keyLayout = new QVBoxLayout(keyGroup);
    keyLayout->setContentsMargins(6, 2, 6, 4);
    keyLayout->addWidget(keyPairControls);
    layout->addWidget(keyGroup, 1);
    return tab;
}
