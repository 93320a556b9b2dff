#include "app/SettingsKeys.h"
#include "window/SettingBinder.h"
#include "window/SettingsTabs.h"
#include "window/WindowTexts.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
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

QWidget* LogFileRow(SettingBinder& binder, const char* key, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto* edit = new QLineEdit(row);
    edit->setObjectName(L(key));
    binder.Bind(edit, key);
    layout->addWidget(edit, 1);
    auto* browse = new QToolButton(row);
    browse->setText(QStringLiteral("..."));
    browse->setToolTip(L(wintexts::kBrowseHint));
    layout->addWidget(browse);
    QObject::connect(browse, &QToolButton::clicked, row, [edit] {
        QFileDialog dialog(edit->window());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return;
        const QString path = dialog.selectedFiles().front();
        edit->setText(path);
        emit edit->textEdited(path);
    });
    return row;
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
    logGrid->addWidget(LogFileRow(binder, keys::ClientLogFile, logging), 3, 1, 1, 2);
    logGrid->addWidget(new QLabel(L(wintexts::kServerLogFile), logging), 4, 0);
    logGrid->addWidget(LogFileRow(binder, keys::ServerLogFile, logging), 4, 1, 1, 2);
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
