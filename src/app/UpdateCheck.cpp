#include "app/UpdateCheck.h"

#include "app/AppTexts.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "app/UpdateVersion.h"
#include "app/WriteLog.h"

#include <fstream>

using apptexts::kUpdateErrorMiddle;
using apptexts::kUpdateErrorPrefix;

namespace {

std::string ErrorText(int number, const std::string& line) {
    return kUpdateErrorPrefix + std::to_string(number) + kUpdateErrorMiddle + line;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

} // namespace

UpdateCheckResult EvaluateUpdatePage(const std::string& page, const std::string& versionText,
                                     const std::string& installerUrl) {
    UpdateCheckResult result;
    result.ownVersion = OwnVersionNumber(versionText);
    std::optional<std::string> published = PublishedVersionNumber(page);
    if (!published) {
        result.outcome = UpdateCheckResult::Outcome::NoBuildMark;
        return result;
    }
    result.publishedVersion = *published;
    VersionComparison comparison = ComparePublishedVersion(*published, result.ownVersion);
    if (!comparison.error.empty()) {
        result.outcome = UpdateCheckResult::Outcome::Error;
        result.errorText = comparison.error;
        return result;
    }
    if (!comparison.newer) {
        result.outcome = UpdateCheckResult::Outcome::UpToDate;
        return result;
    }
    result.outcome = UpdateCheckResult::Outcome::Newer;
    result.installerUrl = installerUrl;
    result.question = apptexts::kNewVersionPrefix + result.publishedVersion +
                      apptexts::kNewVersionMiddle + result.ownVersion + apptexts::kNewVersionSuffix;
    return result;
}

UpdateCheck::UpdateCheck(const Settings& settings, Logger& logger, std::string dataFolder,
                         std::string versionText)
    : settings_(settings), logger_(logger), dataFolder_(std::move(dataFolder)),
      versionText_(std::move(versionText)) {
    http_.OnRequestDone = [this](THttpCli*, int error) { RequestDone(error); };
}

std::string UpdateCheck::PageAddress() const {
    return apptexts::kUpdateScheme + settings_.GetString(keys::UpdateHost) +
           apptexts::kUpdatePagePath;
}

std::string UpdateCheck::InstallerAddress() const {
    return apptexts::kUpdateScheme + settings_.GetString(keys::UpdateHost) +
           apptexts::kUpdateInstallerPath;
}

bool UpdateCheck::Start(Done done) {
    if (http_.Busy())
        return false;
    done_ = std::move(done);
    // The installer lies on the host the page came from, even if the setting
    // changes while the check runs.
    installerUrl_ = InstallerAddress();
    http_.URL = PageAddress();
    logger_.WriteLog(logBoth, apptexts::kUpdateRequesting + http_.URL, colours::clOlive);
    return http_.GetASync();
}

UpdateCheckResult UpdateCheck::Outcome(int error) {
    UpdateCheckResult failed;
    failed.outcome = UpdateCheckResult::Outcome::Error;
    failed.ownVersion = OwnVersionNumber(versionText_);
    if (error != 0) {
        failed.errorText = ErrorText(error, http_.LastResponse());
        return failed;
    }
    // A refusal or a moved page is no update page: its body is the server's
    // explanation, reported instead of searched.
    const int status = http_.StatusCode();
    if (status < 200 || status > 299) {
        failed.errorText = ErrorText(status, http_.StatusLine());
        return failed;
    }
    if (http_.RcvdCount() == 0) {
        failed.errorText = ErrorText(0, http_.LastResponse());
        return failed;
    }
    const std::string& page = http_.RcvdData();
    const std::string path = dataFolder_ + apptexts::kUpdateFileName;
    if (!WriteWholeFile(path, page))
        logger_.WriteLog(logBoth, apptexts::kUpdateFileCannotWrite + path, colours::clRed);
    return EvaluateUpdatePage(page, versionText_, installerUrl_);
}

void UpdateCheck::RequestDone(int error) {
    UpdateCheckResult result = Outcome(error);
    using enum UpdateCheckResult::Outcome;
    if (result.outcome == Newer || result.outcome == UpToDate)
        logger_.WriteLog(logBoth,
                         apptexts::kFoundVersionPrefix + result.publishedVersion +
                             (result.outcome == Newer ? apptexts::kFoundNewerSuffix
                                                      : apptexts::kFoundUpToDateSuffix),
                         colours::clOlive);
    // The callback may start the next check.
    Done done = std::move(done_);
    done_ = nullptr;
    if (done)
        done(result);
}
