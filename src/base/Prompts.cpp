#include "base/Prompts.h"

#include <charconv>

namespace {
long long SizeValue(const std::string& text) {
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}
} // namespace

FileExistsQuestion MakeFileExistsQuestion(bool upload, std::string localPath, std::string localSize,
                                          std::string remotePath, std::string remoteSize) {
    FileExistsQuestion q;
    q.upload = upload;
    const long long local = SizeValue(localSize), remote = SizeValue(remoteSize);
    // What is already there is the target: the remote file for an upload,
    // the local one for a download. A shorter target can be continued.
    const long long source = upload ? local : remote;
    const long long target = upload ? remote : local;
    q.defaultAnswer = target < source ? FileExistsAnswer::Resume : FileExistsAnswer::Skip;
    q.resumeAllowed = target <= source;
    q.localPath = std::move(localPath);
    q.localSize = std::move(localSize);
    q.remotePath = std::move(remotePath);
    q.remoteSize = std::move(remoteSize);
    return q;
}
