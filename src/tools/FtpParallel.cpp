#include "tools/FtpParallel.h"

#include "tools/FtpTexts.h"

#include <algorithm>

using namespace ftptool_texts;

FtpParallel::FtpParallel(ClientSession& first, TFtpClient& firstClient, FtpToolWaiter& waiter,
                         int count, OpenFtpConnection open, std::ostream& err)
    : first_(first), firstClient_(firstClient), waiter_(waiter), count_(std::clamp(count, 1, 10)),
      open_(std::move(open)), err_(err) {}

FtpParallel::~FtpParallel() {
    for (auto& extra : extras_)
        if (extra->client.Connected() && extra->client.State() == TFtpState::ftpcReady)
            extra->client.QuitSync();
}

void FtpParallel::OpenExtras(std::size_t wanted) {
    const std::size_t target = std::min<std::size_t>(wanted, static_cast<std::size_t>(count_));
    if (refused_ || !open_ || extras_.size() + 1 >= target)
        return;
    const int asked = static_cast<int>(target);
    std::string reason;
    while (extras_.size() + 1 < target) {
        auto extra = open_(reason);
        if (!extra) {
            refused_ = true;
            break;
        }
        extras_.push_back(std::move(extra));
    }
    if (refused_) {
        err_ << kPrefix << FewerConnections(Connections(), asked);
        if (!reason.empty())
            err_ << " (" << reason << ")";
        err_ << "\n";
    }
}

bool FtpParallel::Run(const std::vector<Job>& jobs, const Ended& ended) {
    if (jobs.empty())
        return true;
    OpenExtras(jobs.size());
    // Shared with the completions: one that comes after a time-out ended
    // this run finds it closed and does nothing.
    struct State {
        std::vector<Slot> lines;
        std::size_t done = 0;
        bool open = true;
    };
    auto state = std::make_shared<State>();
    state->lines.push_back({&first_, &firstClient_});
    for (auto& extra : extras_)
        if (extra->client.Connected())
            state->lines.push_back({extra->session.get(), &extra->client});
    std::vector<Slot>& lines = state->lines;
    std::size_t next = 0;
    auto startFree = [&] {
        for (std::size_t s = 0; s < lines.size() && next < jobs.size(); ++s) {
            Slot& slot = lines[s];
            if (slot.busy || slot.lost)
                continue;
            if (!slot.client->Connected()) {
                slot.lost = true;
                continue;
            }
            const std::size_t index = next++;
            slot.busy = true;
            jobs[index](*slot.session, [this, state, &ended, s, index](const TransferResult& r) {
                if (!state->open)
                    return;
                // The next job starts from the loop, not inside the
                // engine's own completion.
                ended(index, r);
                ++state->done;
                state->lines[s].busy = false;
                if (!state->lines[s].client->Connected())
                    state->lines[s].lost = true;
                waiter_.Wake();
            });
        }
    };
    auto allLost = [&] {
        return std::all_of(lines.begin(), lines.end(), [](const Slot& s) { return s.lost; });
    };
    bool ok = true;
    while (state->done < jobs.size()) {
        startFree();
        if (allLost() && next < jobs.size()) {
            // Nothing left to run them on.
            while (next < jobs.size()) {
                TransferResult r;
                r.Error = kTransferNotStarted;
                r.ErrorMessage = kPlainNotConnected;
                ended(next++, r);
                ++state->done;
            }
            break;
        }
        ok = waiter_.Until([&] {
            if (state->done >= jobs.size())
                return true;
            for (const Slot& slot : lines)
                if (!slot.busy && !slot.lost && next < jobs.size())
                    return true;
            return false;
        });
        if (!ok) {
            AbortAll();
            break;
        }
    }
    state->open = false;
    return ok;
}

void FtpParallel::AbortAll() {
    firstClient_.Abort();
    for (auto& extra : extras_)
        extra->client.Abort();
}
