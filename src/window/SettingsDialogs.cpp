#include "window/SettingsDialogs.h"

#include "app/AppTexts.h"
#include "base/Prompts.h"

#include <QFileDialog>

QString PickFolder(QWidget* parent) {
    QFileDialog dialog(parent->window());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void ReportRefusal(Prompts& prompts, const accounts::AdminResult& result) {
    if (!result.ok && !result.message.empty())
        prompts.InformLater(apptexts::kInformationTitle, result.message, nullptr);
}
