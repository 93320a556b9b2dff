#include "tools/FtpToolRunner.h"

#include "app/WriteLog.h"
#include "client/ClientSession.h"
#include "client/QueueTexts.h"
#include "client/TransferFigures.h"
#include "client/TransferQueue.h"
#include "crypto/TRSA.h"
#include "ftpclient/ClientTexts.h"
#include "ftpclient/TFtpClient.h"
#include "tools/FtpExitCodes.h"
#include "tools/FtpExitStatus.h"
#include "tools/FtpFileExists.h"
#include "tools/FtpInterrupt.h"
#include "tools/FtpMirror.h"
#include "tools/FtpParallel.h"
#include "tools/FtpPlainReasons.h"
#include "tools/FtpProgressLine.h"
#include "tools/FtpQueueCommands.h"
#include "tools/FtpTexts.h"
#include "tools/FtpToolWaiter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace ftptool_texts;
using Clock = FtpToolWaiter::Clock;

namespace {

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::int64_t LocalSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

// Connects through the client session (login, key exchange, key-file check,
// first listing) and waits until it is ready or has failed. The reason of a
// failure is the session's last red log line.
bool OpenSession(ClientSession& session, TFtpClient& client, FtpToolWaiter& waiter,
                 const std::string& lastRed, std::string& reason) {
    auto finished = [&] {
        return session.Groups().RemoteUp || !session.Groups().Disconnect ||
               session.Failure() != SessionFailure::None;
    };
    session.Connect();
    bool ready = waiter.Until(finished) && session.Groups().RemoteUp &&
                 session.Failure() == SessionFailure::None;
    // A server that closes right after the first listing (refusing it) has
    // not let the session in.
    if (ready && !client.Connected())
        ready = false;
    if (waiter.TimedOut())
        reason = kTimedOut;
    if (!ready && reason.empty())
        reason = lastRed;
    return ready;
}

// The figures of the progress line: the running file from the session, the
// whole queue from what has ended and what is still queued.
struct QueueProgress {
    std::int64_t endedBytes = 0; // sizes of the entries that have ended
    std::int64_t movedBytes = 0; // bytes those entries moved in this run
    QElapsedTimer clock;         // since the queue command started
};

} // namespace

int RunFtpTool(const FtpToolOptions& o, const FtpSessionSetup& setup, TRSA& rsa1, std::ostream& out,
               std::ostream& err, bool progressBar) {
    // The session writes its key file and listings here, never into the
    // data folder, and everything goes when the run ends.
    QTemporaryDir work(QDir::tempPath() + "/vexa2-ftp-XXXXXX");
    if (!work.isValid()) {
        err << kPrefix << kTempFolderFailed << work.errorString().toStdString() << "\n";
        return ftp_exit::kLocal;
    }
    if (o.existing == FtpExisting::Ask && ::isatty(STDIN_FILENO) == 0) {
        err << kPrefix << kAskNeedsTerminal << "\n";
        return ftp_exit::kUsage;
    }
    ClientDefaults defaults = setup.defaults;
    defaults.programDirectory = work.path().toStdString() + "/";
    defaults.timeoutSeconds = o.timeout;

    TFtpClient client;
    if (o.limitRate >= 0) {
        client.DownloadLimit = o.limitRate;
        client.UploadLimit = o.limitRate;
    }
    TRSA rsa2;
    FtpProgressLine progress(err);
    const bool showProgress = !o.quiet && (progressBar || o.progress);
    FtpTransferPrompts prompts(o.existing, std::cin, err, o.quiet);
    prompts.BeforeQuestion = [&] { progress.Break(); };
    std::string lastRed;
    // Red lines (errors, refusals, a failed key check) are never lost: with
    // --verbose they are in the log; without it, those met while logging in
    // or during a command are held and shown once it is over (a failure
    // shows its reason instead of the line that said it).
    std::vector<std::string> heldRed;
    auto lastActivity = Clock::now();
    LogWriter log = [&](int, const std::string& text, TColor colour) {
        lastActivity = Clock::now();
        if (colour == colours::clRed) {
            lastRed = text;
            if (!o.verbose)
                heldRed.push_back(text);
        }
        // SECURITY: the password is never shown, as in the program's own log.
        if (o.verbose) {
            progress.Break();
            err << MaskPassword(text) << "\n";
        }
    };
    auto showHeld = [&](const std::string& except) {
        if (!heldRed.empty())
            progress.Break();
        for (const std::string& line : heldRed)
            if (line != except)
                err << kPrefix << line << "\n";
        heldRed.clear();
    };
    if (o.socksLevel != "5")
        defaults.socksLevel = o.socksLevel == "4" ? ftpSocks4 : ftpSocks4A;
    ClientSession session(client, rsa1, rsa2, prompts, log, [defaults] { return defaults; });
    session.CurrentSite = setup.site;
    // No remote list to show: nothing is listed that was not asked for.
    session.ListAfterPwd = false;
    client.Timeout = o.timeout;
    TransferQueue queue(session, prompts, log);
    queue.EnterExistingFolders = true;
    queue.RefreshWhenDone = false;
    queue.FollowLinks = true;
    // The tool answers at once or waits for the user: no countdown.
    queue.CountdownMs = INT_MAX;

    FtpToolWaiter waiter(client, lastActivity, o.timeout);

    // The progress line: a single transfer names itself; the queue's
    // running entry is its first file entry being transferred.
    std::string singleName;
    QueueProgress queued;
    // finished: the last figures of a transfer that has just ended (drawn
    // whatever the rate limit), for the queue's entry when one is given.
    auto drawProgress = [&](bool finished, const QueueEntry* entry) {
        if (!showProgress || (!finished && !session.TransferRunning()))
            return;
        const TransferProgress p = session.Progress();
        FtpProgressFigures file{
            p.Count, p.FileSize,
            p.Seconds > 0 ? static_cast<double>(p.Count - p.ResumeBase) / p.Seconds : 0};
        FtpProgressFigures all{0, -1, 0};
        std::string name = singleName;
        if (name.empty()) {
            for (const QueueEntry& e : queue.Entries())
                if (!entry && e.Icon == QueueIcon::File &&
                    (e.Status == queue_texts::kDownloading || e.Status == queue_texts::kUploading))
                    entry = &e;
            if (!entry)
                return;
            name = entry->Direction == queue_texts::kDownload ? entry->Remote : entry->Local;
            const double seconds = queued.clock.isValid() ? queued.clock.elapsed() / 1000.0 : 0;
            // An entry that has ended counts among the ended ones already.
            const std::int64_t running = finished ? 0 : p.Count;
            all.done = queued.endedBytes + running;
            all.total = queued.endedBytes + SizeTextValue(queue.Totals().Bytes) -
                        (finished ? (entry->Direction == queue_texts::kUpload ? entry->LocalSize
                                                                              : entry->RemoteSize)
                                  : 0);
            all.rate = seconds > 0 ? static_cast<double>(queued.movedBytes + running -
                                                         (finished ? 0 : p.ResumeBase)) /
                                         seconds
                                   : 0;
        }
        progress.Show(name, file, all, finished);
    };
    session.OnChanged = [&](SessionChange) {
        if (session.TransferRunning())
            lastActivity = Clock::now();
        drawProgress(false, nullptr);
        waiter.Wake();
    };
    queue.OnChanged = [&] { waiter.Wake(); };

    int status = ftp_exit::kOk;
    auto report = [&](const std::string& what, const TransferResult& r) {
        std::string reason = r.ErrorMessage.empty() ? r.Reply : r.ErrorMessage;
        if (reason.empty())
            reason = kNoReply;
        // A server that hung up often said why in its last reply.
        const std::string& parting = client.LastResponse();
        if (EncryptionRefusal(parting) && !EncryptionRefusal(reason))
            reason = parting;
        else if (!client.Connected() && !parting.empty() &&
                 reason.find(parting) == std::string::npos)
            reason += ftpclient_texts::kLastReplyBeforeClose + parting;
        showHeld(reason);
        progress.Break();
        err << kPrefix << kFailedPrefix << what << ": " << PlainReason(reason) << "\n";
        if (status == ftp_exit::kOk)
            status = CommandExitStatus(r, waiter.TimedOut() || client.TimedOut(),
                                       client.Connected(), parting);
    };
    auto quit = [&] {
        progress.Break();
        if (client.Connected() && client.State() == TFtpState::ftpcReady)
            client.QuitSync();
        return status;
    };

    // More connections for transfers at once: the same site, settings,
    // key pair and proxy. Their log joins the session's with --verbose; a
    // refusal is told once by the pool.
    LogWriter extraLog = [&](int, const std::string& text, TColor) {
        lastActivity = Clock::now();
        if (o.verbose) {
            progress.Break();
            err << MaskPassword(text) << "\n";
        }
    };
    OpenFtpConnection openExtra = [&](std::string& why) -> std::unique_ptr<FtpExtraConnection> {
        auto extra = std::make_unique<FtpExtraConnection>();
        if (o.limitRate >= 0) {
            extra->client.DownloadLimit = o.limitRate;
            extra->client.UploadLimit = o.limitRate;
        }
        extra->client.Timeout = o.timeout;
        extra->session = std::make_unique<ClientSession>(extra->client, rsa1, extra->rsa2, prompts,
                                                         extraLog, [defaults] { return defaults; });
        extra->session->CurrentSite = setup.site;
        extra->session->ListAfterPwd = false;
        extra->session->OnChanged = [&](SessionChange) {
            lastActivity = Clock::now();
            waiter.Wake();
        };
        std::string red;
        if (!OpenSession(*extra->session, extra->client, waiter, red, why)) {
            if (!extra->client.LastResponse().empty())
                why = extra->client.LastResponse();
            return nullptr;
        }
        // SECURITY: no file moves in plain over a site whose encryption is
        // mandatory.
        if (extra->session->ConnectedSite.EncryptionMandatory &&
            !extra->session->ClientEncryptionActive) {
            why = kMandatoryNotAgreed;
            return nullptr;
        }
        return extra;
    };
    FtpParallel pool(session, client, waiter, o.parallel.value_or(setup.parallel), openExtra, err);

    // Ctrl-C: the running transfer stops (a download that was replacing a
    // file leaves the old copy as it was) and the run ends at once.
    FtpInterrupt interrupt([&](int) {
        pool.AbortAll();
        progress.Break();
        std::string note = kInterrupted;
        const std::string& message = client.ErrorMessage();
        if (const std::size_t kept = message.find(ftpclient_texts::kOldCopyKeptPrefix);
            kept != std::string::npos)
            note += message.substr(kept);
        err << kPrefix << note << "\n";
        err.flush();
        out.flush();
        work.remove();
        std::_Exit(ftp_exit::kInterrupted);
    });

    FtpQueueRun queueRun{session, queue, waiter, err, report, {}, 0};
    queue.OnEntryEnded = [&](const QueueEntry& e, const TransferResult& r) {
        if (e.Icon == QueueIcon::File) {
            queued.endedBytes += e.Direction == queue_texts::kUpload ? e.LocalSize : e.RemoteSize;
            queued.movedBytes += std::max<std::int64_t>(0, r.Count - r.ResumeBase);
            if (r.Error == 0 && r.Request != ftpNone)
                drawProgress(true, &e);
        }
        if (r.Error != 0) {
            ++queueRun.failures;
            const bool down = e.Direction == queue_texts::kDownload;
            report((down ? "get " : "put ") + (down ? e.Remote : e.Local), r);
        }
        waiter.Wake();
    };
    // SECURITY: with mandatory encryption no file is moved or changed in
    // plain, also when the key check never ran (a server that does not call
    // itself ours, or a site without a key): the session only quits when a
    // check that ran failed.
    auto plainRefused = [&] {
        if (!session.ConnectedSite.EncryptionMandatory || session.ClientEncryptionActive)
            return false;
        TransferResult r;
        r.ErrorMessage = kMandatoryNotAgreed;
        report(kLoginStep, r);
        status = ftp_exit::kEncryption;
        return true;
    };
    queueRun.reconnect = [&] {
        std::string why;
        lastRed.clear();
        if (!OpenSession(session, client, waiter, lastRed, why)) {
            heldRed.clear();
            TransferResult r;
            r.ErrorMessage = why.empty() ? client.ErrorMessage() : why;
            report(kReconnectStep, r);
            return false;
        }
        showHeld({});
        return !plainRefused();
    };

    std::string reason;
    if (!OpenSession(session, client, waiter, lastRed, reason)) {
        heldRed.clear(); // the reason says it
        if (reason.empty())
            reason = client.ErrorMessage();
        if (reason.empty())
            reason = client.LastResponse();
        TransferResult r;
        r.ErrorMessage = reason;
        report(kLoginStep, r);
        status = EncryptionRefusal(reason) || EncryptionRefusal(client.LastResponse())
                     ? ftp_exit::kEncryption
                     : LoginExitStatus(session.Failure(), waiter.TimedOut() || client.TimedOut());
        return quit();
    }
    showHeld({});
    if (plainRefused())
        return quit();

    auto run = [&](const std::function<void(TransferDone)>& start) { return waiter.Run(start); };

    if (!o.url.path.empty()) {
        const TransferResult r =
            run([&](TransferDone done) { session.EnterDirectory(o.url.path, std::move(done)); });
        if (r.Error != 0) {
            report("cd " + o.url.path, r);
            return quit();
        }
        session.ShowRemotePath(r.ReplyPath);
    }

    // A single transfer: the progress line names it; the file-exists
    // choice applies when the target is there.
    auto transfer = [&](const std::string& name, const std::function<void(TransferDone)>& start) {
        singleName = name;
        TransferResult r = run(start);
        if (r.Error == 0)
            drawProgress(true, nullptr);
        progress.Break();
        singleName.clear();
        return r;
    };
    auto decide = [&](bool upload, const std::string& local, const std::string& remote,
                      std::int64_t localSize, std::int64_t remoteSize) {
        progress.Break();
        return DecideFileExists(MakeFileExistsQuestion(upload, local, std::to_string(localSize),
                                                       remote, std::to_string(remoteSize)),
                                o.existing, std::cin, err, o.quiet);
    };

    // A SIZE asked on the way that found the session gone (a 421, a
    // time-out): its failure is the command's.
    auto sessionGone = [&](const TransferResult& size) {
        return size.Error != 0 && (!client.Connected() || waiter.TimedOut());
    };

    for (const auto& cmd : o.commands) {
        const auto& a = cmd.args;
        std::string label = cmd.name + (cmd.recursive ? " -r" : "");
        for (const auto& arg : a)
            label += " " + arg;
        TransferResult r;
        bool queueOk = true;
        queued = QueueProgress{};
        queued.clock.start();
        if (cmd.recursive && cmd.name == "get") {
            queueOk = GetFolder(queueRun, a[0], a.size() > 1 ? a[1] : "");
        } else if (cmd.recursive && cmd.name == "put") {
            queueOk = PutFolder(queueRun, a[0], a.size() > 1 ? a[1] : "");
        } else if (cmd.name == "mirror") {
            FtpMirrorOptions mirror;
            mirror.reverse = cmd.reverse;
            mirror.withDeletes = o.mirrorDelete;
            mirror.dryRun = o.dryRun;
            mirror.resumeShorter = o.existing == FtpExisting::Resume;
            mirror.quiet = o.quiet;
            queueOk = MirrorFolder(queueRun, pool, mirror, a[0], a[1], out);
        } else if (cmd.name == "mget") {
            queueOk = GetMatching(queueRun, a);
        } else if (cmd.name == "mput") {
            queueOk = PutMatching(queueRun, a);
        } else if (cmd.name == "ls" || cmd.name == "nlst") {
            const std::string path = a.empty() ? "" : a[0];
            r = run([&](TransferDone done) {
                session.ShowListing(
                    path, cmd.name == "nlst",
                    [&out](const std::string& line) { out << line << "\n"; }, std::move(done));
            });
            out.flush();
        } else if (cmd.name == "get" && a.size() > 1 && a[1] == "-") {
            // To standard output, which then carries nothing else.
            const std::string remote = a[0];
            const TransferResult size =
                run([&](TransferDone done) { session.RemoteFileSize(remote, std::move(done)); });
            const std::int64_t known = size.Error == 0 ? std::max<std::int64_t>(0, size.Size) : 0;
            out.flush();
            client.LocalFileHandle = STDOUT_FILENO;
            if (sessionGone(size))
                r = size;
            else
                r = transfer(remote, [&](TransferDone done) {
                    session.Download(remote, "-", known, std::move(done));
                });
            client.LocalFileHandle = -1;
        } else if (cmd.name == "put" && a[0] == "-") {
            // From standard input, to its end.
            const std::string remote = a.size() > 1 ? a[1] : std::string("-");
            client.LocalFileHandle = STDIN_FILENO;
            r = transfer(remote, [&](TransferDone done) {
                session.Upload("-", remote, 0, std::move(done));
            });
            client.LocalFileHandle = -1;
        } else if (cmd.name == "get" || cmd.name == "resume-get") {
            const std::string remote = a[0];
            const std::string local = a.size() > 1 ? a[1] : BaseName(a[0]);
            // The size also lets the engine fail a download that ends short
            // (a server that does not know SIZE just leaves it unknown).
            const TransferResult size =
                run([&](TransferDone done) { session.RemoteFileSize(remote, std::move(done)); });
            const std::int64_t known = size.Error == 0 ? std::max<std::int64_t>(0, size.Size) : 0;
            bool resume = cmd.name == "resume-get";
            const std::int64_t there = LocalSize(local);
            if (sessionGone(size)) {
                report(label, size);
                return quit();
            }
            if (cmd.name == "get" && there > 0 && o.existing != FtpExisting::Overwrite) {
                const FileExistsAnswer answer = decide(false, local, remote, there, known);
                if (answer == FileExistsAnswer::Skip)
                    continue;
                resume = answer == FileExistsAnswer::Resume;
            }
            r = transfer(remote, [&](TransferDone done) {
                if (resume)
                    session.ResumeDownload(remote, local, known, std::move(done));
                else
                    session.Download(remote, local, known, std::move(done));
            });
        } else if (cmd.name == "put" || cmd.name == "append" || cmd.name == "resume-put") {
            const std::string local = a[0];
            const std::string remote = a.size() > 1 ? a[1] : BaseName(a[0]);
            const std::int64_t total = std::max<std::int64_t>(0, LocalSize(local));
            std::string mode = cmd.name;
            std::int64_t offset = 0;
            if (cmd.name == "resume-put" ||
                (cmd.name == "put" && o.existing != FtpExisting::Overwrite)) {
                // What the server already holds; nothing there means from
                // the start.
                const TransferResult size = run(
                    [&](TransferDone done) { session.RemoteFileSize(remote, std::move(done)); });
                offset = size.Error == 0 ? std::max<std::int64_t>(0, size.Size) : 0;
                if (sessionGone(size)) {
                    report(label, size);
                    return quit();
                }
                if (cmd.name == "put" && offset > 0) {
                    const FileExistsAnswer answer = decide(true, local, remote, total, offset);
                    if (answer == FileExistsAnswer::Skip)
                        continue;
                    mode = answer == FileExistsAnswer::Resume ? "append" : "put";
                }
            }
            r = transfer(local, [&](TransferDone done) {
                if (mode == "put")
                    session.Upload(local, remote, total, std::move(done));
                else if (mode == "append")
                    session.AppendUpload(local, remote, cmd.name == "append" ? 0 : offset, total,
                                         std::move(done));
                else
                    session.ResumeUpload(local, remote, offset, total, std::move(done));
            });
        } else if (cmd.name == "mkdir") {
            r = run([&](TransferDone done) { session.MakeRemoteDirectory(a[0], std::move(done)); });
        } else if (cmd.name == "rmdir") {
            r = run([&](TransferDone done) { session.RemoveDirectory(a[0], std::move(done)); });
        } else if (cmd.name == "rm") {
            r = run([&](TransferDone done) { session.DeleteFile(a[0], std::move(done)); });
        } else if (cmd.name == "mv") {
            r = run([&](TransferDone done) { session.RenameFile(a[0], a[1], std::move(done)); });
        } else if (cmd.name == "size") {
            r = run([&](TransferDone done) { session.RemoteFileSize(a[0], std::move(done)); });
            if (r.Error == 0)
                out << r.Size << "\n";
        } else if (cmd.name == "pwd") {
            r = run([&](TransferDone done) { session.CurrentDirectory(std::move(done)); });
            if (r.Error == 0)
                out << r.ReplyPath << "\n";
        } else if (cmd.name == "quote") {
            r = run([&](TransferDone done) { session.QuoteLine(a[0], std::move(done)); });
            if (r.Error == 0)
                out << r.Reply << "\n";
            // A refusal is a failure, also when the line was delivered.
            if (r.Error == 0 && r.ReplyCode >= 400) {
                r.Error = r.ReplyCode;
                r.ErrorMessage = r.Reply;
            }
        }
        if (r.Error != 0)
            report(label, r);
        if (status != ftp_exit::kOk || !queueOk) {
            if (status == ftp_exit::kOk)
                status = ftp_exit::kFailed;
            return quit();
        }
        showHeld({});
    }
    return quit();
}
