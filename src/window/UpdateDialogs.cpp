#include "window/UpdateDialogs.h"

#include "base/Prompts.h"
#include "window/WindowTexts.h"

#include <QDesktopServices>
#include <QUrl>

void ShowUpdateResult(const UpdateCheckResult& result, Prompts& prompts) {
    using enum UpdateCheckResult::Outcome;
    switch (result.outcome) {
    case Newer:
        prompts.ConfirmLater(wintexts::kUpdateQuestionTitle, result.question,
                             [url = result.installerUrl](bool yes) {
                                 if (yes)
                                     QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
                             });
        break;
    case Error:
        prompts.InformLater(wintexts::kUpdateErrorTitle, result.errorText, nullptr);
        break;
    case UpToDate:
    case NoBuildMark:
        break;
    }
}
