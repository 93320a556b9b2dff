#pragma once
#include "app/LogSink.h"
#include "base/LogColour.h"

#include <QDateTime>
#include <functional>
#include <string>
#include <vector>

class Settings;

// The one logging routine. WriteLog(level, text, colour) masks passwords,
// adds the event time stamp, applies the verbosity filter to the screen
// sinks and copies every line to the log files, reading the logging options
// from Settings at each call.
class Logger {
public:
    explicit Logger(const Settings& settings);

    // level: 1 client log, 2 server log, 3 both.
    void WriteLog(int level, const std::string& text, TColor colour);

    // Sinks are not owned and must outlive the logger or be removed.
    void AddSink(LogSink* sink);
    void RemoveSink(LogSink* sink);

    // Forgets which log files this run has opened: the next line of each log
    // creates (or, with "Append Logs", appends to) its file anew.
    void ClearOpenedFlags();

    // A LogWriter bound to this logger, for the modules below the shell.
    LogWriter Writer();

    // The file a log (1 or 2) writes to in this run; empty before its first line.
    const std::string& LogFileName(int log) const { return files_[log == 1 ? 0 : 1].name; }

    // The clock; tests set it to get known stamps.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

private:
    struct LogFile {
        bool opened = false;
        bool failing = false;   // the last write failed; reported once until one succeeds
        std::string configured; // the path setting the file was opened under
        std::string name;
    };
    void WriteOne(int log, const std::string& text, TColor colour);
    void WriteFile(int log, const std::string& line, const QDateTime& now);
    void ReportFileError(int log, const std::string& name, int err);

    const Settings& settings_;
    std::vector<LogSink*> sinks_;
    LogFile files_[2];
};

// The building blocks of WriteLog, each on its own.
// With masking, a text whose first "PASS" is at its ninth character becomes
// its first 13 characters and 13 asterisks.
std::string MaskPassword(const std::string& text);
// Whether a text passes the screen filter that applies when verbose logging
// is off: trace lines ("SEND"/"RECV") only for the listed words and codes.
bool ShownWhenNotVerbose(const std::string& text);
// The event time stamp: the locale's short date and its time with seconds.
std::string EventTimeStamp(const QDateTime& when);
// The log-file stamp yyyymmddhhmmss.
std::string LogFileStamp(const QDateTime& when);
