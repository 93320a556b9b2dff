#include "app/WriteLog.h"

#include "app/AppTexts.h"
#include "app/Settings.h"
#include "app/SettingsKeys.h"
#include "base/FileIo.h"

#include <QLocale>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Trace lines put the command word or reply code at the ninth character.
constexpr std::size_t kTraceWordAt = 8;
constexpr std::size_t kMaskKeep = 13;
constexpr const char* kMaskStars = "*************";

// Trace words and codes shown on screen when verbose logging is off.
constexpr const char* kAlwaysShown[] = {"USER", "PASS", "QUIT", "ABOR", "220", "421", "500", "530",
                                        "503",  "230",  "501",  "221",  "426", "550", "553", "331"};

std::size_t FindPassIgnoringCase(const std::string& text) {
    static const char kPass[] = "pass";
    for (std::size_t i = 0; i + 4 <= text.size(); ++i) {
        bool match = true;
        for (std::size_t j = 0; j < 4 && match; ++j)
            match = std::tolower(static_cast<unsigned char>(text[i + j])) == kPass[j];
        if (match)
            return i;
    }
    return std::string::npos;
}

} // namespace

std::string MaskPassword(const std::string& text) {
    // SECURITY: FTP commands are case-insensitive, so a client that sends
    // "pass secret" must be masked as well as one that sends "PASS secret".
    if (FindPassIgnoringCase(text) != kTraceWordAt)
        return text;
    return text.substr(0, kMaskKeep) + kMaskStars;
}

bool ShownWhenNotVerbose(const std::string& text) {
    if (text.rfind("SEND", 0) != 0 && text.rfind("RECV", 0) != 0)
        return true;
    return std::any_of(std::begin(kAlwaysShown), std::end(kAlwaysShown), [&](const char* word) {
        return text.compare(kTraceWordAt, std::strlen(word), word) == 0;
    });
}

std::string EventTimeStamp(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    // The locale's long time format ends in the zone name ("t"), which a log line does without.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.trimmed();
    return (locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
            locale.toString(when.time(), timeFormat))
        .toStdString();
}

std::string LogFileStamp(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyyMMddHHmmss")).toStdString();
}

Logger::Logger(const Settings& settings) : settings_(settings) {}

void Logger::AddSink(LogSink* sink) {
    if (sink && std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end())
        sinks_.push_back(sink);
}

void Logger::RemoveSink(LogSink* sink) {
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

void Logger::ClearOpenedFlags() {
    for (LogFile& f : files_)
        f = LogFile{};
}

LogWriter Logger::Writer() {
    return [this](int level, const std::string& text, TColor colour) {
        WriteLog(level, text, colour);
    };
}

void Logger::WriteLog(int level, const std::string& textIn, TColor colour) {
    const std::string text = settings_.GetBool(keys::MaskPasswords) ? MaskPassword(textIn) : textIn;
    if (level == logBoth) {
        // Each log adds its own time stamp, so the line is never stamped twice.
        WriteOne(logClient, text, colour);
        WriteOne(logServer, text, colour);
        return;
    }
    if (level == logClient || level == logServer)
        WriteOne(level, text, colour);
}

void Logger::WriteOne(int log, const std::string& text, TColor colour) {
    const bool shown =
        !sinks_.empty() && (settings_.GetBool(keys::VerboseLogging) || ShownWhenNotVerbose(text));
    const bool toFile = settings_.GetBool(keys::LogToFile);
    // A line nobody sees or keeps (most of a busy server's trace) costs no
    // clock reading and no formatting.
    if (!shown && !toFile)
        return;
    const QDateTime now = Now();
    const std::string line =
        settings_.GetBool(keys::TimestampEvents) ? EventTimeStamp(now) + " " + text : text;
    if (shown)
        for (LogSink* sink : std::vector<LogSink*>(sinks_))
            sink->Write(log, line, colour);
    if (toFile)
        WriteFile(log, line, now);
}

void Logger::WriteFile(int log, const std::string& line, const QDateTime& now) {
    LogFile& file = files_[log == logClient ? 0 : 1];
    const std::string path =
        settings_.GetString(log == logClient ? keys::ClientLogFile : keys::ServerLogFile);
    if (path.empty())
        return;
    if (file.opened && path != file.configured)
        file.opened =
            false; // the path was changed on the settings page: start its file as a run would
    if (!file.opened) {
        const bool stamped = settings_.GetBool(keys::TimestampLogs);
        const std::string name = stamped ? path + " " + LogFileStamp(now) + ".log" : path;
        int fd = -1;
        if (!stamped && settings_.GetBool(keys::AppendLogs))
            fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) {
            ReportFileError(log, name, errno);
            return; // not opened: the next line tries again
        }
        ::close(fd);
        file.opened = true;
        file.configured = path;
        file.name = name; // later lines of the run go to the same file, whatever the clock says
    }
    int fd = ::open(file.name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    int err = 0;
    if (fd < 0) {
        err = errno;
    } else {
        const std::string text = line + "\n";
        err = WriteAll(fd, text.data(), text.size());
        if (::close(fd) != 0 && err == 0)
            err = errno;
    }
    if (err != 0) {
        ReportFileError(log, file.name, err);
        return;
    }
    file.failing = false;
}

void Logger::ReportFileError(int log, const std::string& name, int err) {
    LogFile& file = files_[log == logClient ? 0 : 1];
    if (file.failing)
        return; // said once; said again only after a write has worked
    file.failing = true;
    const std::string message =
        std::string(apptexts::kLogFileCannotWrite) + name + ": " + std::strerror(err);
    for (LogSink* sink : std::vector<LogSink*>(sinks_))
        sink->Write(log, message, colours::clRed);
}
