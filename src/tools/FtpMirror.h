#pragma once
#include "tools/FtpParallel.h"
#include "tools/FtpQueueCommands.h"

#include <functional>
#include <ostream>
#include <string>

struct FtpMirrorOptions {
    bool reverse = false;       // local to remote
    bool withDeletes = false;   // remove what the source no longer has
    bool dryRun = false;        // list only
    bool resumeShorter = false; // continue targets cut short
    bool quiet = false;         // no list of what is done
    // Whether the server sets a file's time on request (MFMT); where it
    // does, uploaded files keep their local times. Not asked when unset.
    std::function<bool()> serverSetsTimes;
};

// Brings the target folder in step with the source: makes the missing
// folders (parents first), copies the files that are missing, differ in
// size or are newer at the source (over the pool's connections), keeps the
// source's times where it can, and with withDeletes removes what the source
// lacks. Everything it is going to do is listed on out first. Every failure
// is reported through run; false when anything failed.
bool MirrorFolder(FtpQueueRun& run, FtpParallel& pool, const FtpMirrorOptions& options,
                  const std::string& source, const std::string& target, std::ostream& out);
