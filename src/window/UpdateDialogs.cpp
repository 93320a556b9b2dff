#include "window/UpdateDialogs.h"

#include "base/Prompts.h"
#include "window/WindowTexts.h"

#include <QDesktopServices>
#include <QUrl>

void ShowUpdateResult(const UpdateCheckResult& result, Prompts& prompts) {
    using enum UpdateCheckResult::Outcome;
    switch (result.outcome) {
    case Newer:
        prompts.ConfirmLater(
            wintexts::kUpdateQuestionTitle, result.question,
            [&prompts, url = result.installerUrl](bool yes) {
                // Without a browser the address is shown, so the user can
                // still fetch the new version.
                if (yes && !QDesktopServices::openUrl(QUrl(QString::fromStdString(url))))
                    prompts.InformLater(
                        wintexts::kNoBrowserTitle,
                        wintexts::kNoBrowserPrefix + url + wintexts::kNoBrowserSuffix, nullptr);
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
