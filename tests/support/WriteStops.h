#pragma once
// Interrupts stored-file writes at a chosen step, as a kill would, for the
// tests that check a stored file then holds its old content or its new one.
#include "base/StoredFile.h"

namespace testing_support {

inline constexpr stored_file::WriteStep kWriteSteps[] = {
    stored_file::WriteStep::TempPartlyWritten,
    stored_file::WriteStep::BeforeFlush,
    stored_file::WriteStep::BeforeRename,
};

inline const char* StepName(stored_file::WriteStep step) {
    switch (step) {
    case stored_file::WriteStep::TempPartlyWritten:
        return "temporary file half written";
    case stored_file::WriteStep::BeforeFlush:
        return "before the flush";
    case stored_file::WriteStep::BeforeRename:
        return "before the rename";
    }
    return "?";
}

// While it lives, every write stops at the step; `stops` counts them.
class StopWritesAt {
public:
    explicit StopWritesAt(stored_file::WriteStep step) {
        stored_file::SetStepHook([this, step](stored_file::WriteStep at, const std::string&) {
            if (at != step)
                return true;
            ++stops;
            return false;
        });
    }
    ~StopWritesAt() { stored_file::SetStepHook(nullptr); }
    StopWritesAt(const StopWritesAt&) = delete;
    StopWritesAt& operator=(const StopWritesAt&) = delete;
    int stops = 0;
};

} // namespace testing_support
