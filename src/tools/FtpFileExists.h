#pragma once
#include "base/Prompts.h"
#include "tools/FtpCommandLine.h"
#include "tools/FtpPrompts.h"

#include <istream>
#include <ostream>

// What vexa2-ftp does with a transfer's target that exists: the command
// line's choice, or with --ask the user's answer on the terminal (the size
// rule's default on an empty line or at the end of input). --resume resumes
// only what the size rule would resume: equal sizes are complete and left,
// and a target larger than its source is left and reported, never appended
// to.
// --skip names each target it leaves ("skipped NAME: exists") unless quiet.
FileExistsAnswer DecideFileExists(const FileExistsQuestion& question, FtpExisting policy,
                                  std::istream& in, std::ostream& err, bool quiet = false);

// The questions of a vexa2-ftp run: the file-exists question of the
// transfer queue answered by DecideFileExists, everything else as
// FtpNoPrompts does.
class FtpTransferPrompts : public FtpNoPrompts {
public:
    FtpTransferPrompts(FtpExisting policy, std::istream& in, std::ostream& err, bool quiet = false)
        : FtpNoPrompts(err), policy_(policy), in_(in), questionOut_(err), quiet_(quiet) {}
    void AskFileExistsLater(const FileExistsQuestion& question,
                            std::function<void(FileExistsAnswer)> answer) override {
        if (BeforeQuestion)
            BeforeQuestion();
        Deliver(std::move(answer), DecideFileExists(question, policy_, in_, questionOut_, quiet_));
    }
    // Runs before a question is put (the progress line ends first).
    std::function<void()> BeforeQuestion;

private:
    FtpExisting policy_;
    std::istream& in_;
    std::ostream& questionOut_;
    bool quiet_;
};
