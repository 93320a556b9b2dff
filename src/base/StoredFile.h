#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// All-or-nothing writing of the program's stored files (account files,
// server lists, site store, settings). The new content goes to a temporary
// file beside the stored one, under a name no other file uses
// (NAME.saving.PID), is flushed to disk and renamed over the stored file, so
// a crash or kill at any moment leaves the old content or the new, never
// less.
namespace stored_file {

// The moments at which a write may be interrupted.
enum class WriteStep {
    TempPartlyWritten, // half of the new bytes are in the temporary file
    BeforeFlush,       // every byte written, not yet flushed to disk
    BeforeRename,      // flushed, not yet renamed over the stored file
};

// Test seam: called at each step with the stored file's path. Returning false
// stops the write right there, as a kill would: the temporary file stays
// behind and the write reports ECANCELED. Never set outside tests.
using StepHook = std::function<bool(WriteStep step, const std::string& path)>;
void SetStepHook(StepHook hook);

// Writes bytes as the whole new content of path. A symbolic link is written
// through to its target; an existing file keeps its mode, a new one gets
// newFileMode. Returns 0 on success, else the errno of the failed step (the
// stored file is then unchanged and no temporary file is left, except after
// a stop by the step hook).
int WriteWhole(const std::string& path, std::string_view bytes, mode_t newFileMode = 0644);

// The same for a file that holds passwords or keys: the new content is
// always readable and writable by its owner only (0600), whatever mode the
// file had before.
int WritePrivate(const std::string& path, std::string_view bytes);

// Reads a whole file. Returns 0 and fills bytes, or the errno (ENOENT for a
// missing file).
int ReadWhole(const std::string& path, std::string& bytes);

// Copies source over destination all-or-nothing. Returns 0, or the errno
// (ENOENT when the source is missing; the destination is then untouched).
int CopyWhole(const std::string& source, const std::string& destination);
// Copies as above; the destination ends up private (0600).
int CopyPrivate(const std::string& source, const std::string& destination);

// The mode every private stored file has.
inline constexpr mode_t kPrivateMode = 0600;

// The temporary name used by this process for path.
std::string TemporaryNameFor(const std::string& path);

// Removes the temporary files that an interrupted write of path left behind,
// as far as the process that wrote them no longer runs.
void RemoveLeftovers(const std::string& path);

// The text of an errno returned above.
std::string ErrorText(int error);

} // namespace stored_file
