#include "tools/FtpFileExists.h"

#include "tools/FtpTexts.h"

#include <string>

using namespace ftptool_texts;

namespace {
const char* AnswerText(FileExistsAnswer answer) {
    switch (answer) {
    case FileExistsAnswer::Resume:
        return kAnswerResume;
    case FileExistsAnswer::Overwrite:
        return kAnswerOverwrite;
    default:
        return kAnswerSkip;
    }
}

FileExistsAnswer Ask(const FileExistsQuestion& q, std::istream& in, std::ostream& err) {
    const std::string& target = q.upload ? q.remotePath : q.localPath;
    const std::string& targetSize = q.upload ? q.remoteSize : q.localSize;
    const std::string& source = q.upload ? q.localPath : q.remotePath;
    const std::string& sourceSize = q.upload ? q.localSize : q.remoteSize;
    while (true) {
        err << kPrefix << target << " " << kAskExists << targetSize << kAskBytes << kAskFrom
            << source << " " << sourceSize << kAskBytes << "\n"
            << (q.resumeAllowed ? kAskWithResume : kAskWithoutResume) << AnswerText(q.defaultAnswer)
            << kAskClose << std::flush;
        std::string line;
        if (!std::getline(in, line))
            return q.defaultAnswer;
        const char c = line.empty() ? '\0' : static_cast<char>(line[0] | 0x20);
        if (line.empty())
            return q.defaultAnswer;
        if (c == 'r' && q.resumeAllowed)
            return FileExistsAnswer::Resume;
        if (c == 'o')
            return FileExistsAnswer::Overwrite;
        if (c == 's')
            return FileExistsAnswer::Skip;
    }
}
} // namespace

FileExistsAnswer DecideFileExists(const FileExistsQuestion& q, FtpExisting policy, std::istream& in,
                                  std::ostream& err, bool quiet) {
    switch (policy) {
    case FtpExisting::Overwrite:
        return FileExistsAnswer::Overwrite;
    case FtpExisting::Skip:
        if (!quiet)
            err << kPrefix << kSkippedPrefix << (q.upload ? q.remotePath : q.localPath)
                << kSkippedSuffix << "\n";
        return FileExistsAnswer::Skip;
    case FtpExisting::Ask:
        return Ask(q, in, err);
    case FtpExisting::Resume:
        break;
    }
    if (q.defaultAnswer == FileExistsAnswer::Resume)
        return FileExistsAnswer::Resume;
    // SECURITY: never an append onto bytes that are not the start of the
    // source: a larger target is left as it is, and said.
    if (!q.resumeAllowed && !quiet)
        err << kPrefix << (q.upload ? q.remotePath : q.localPath) << kNothingToResume << "\n";
    return FileExistsAnswer::Skip;
}
