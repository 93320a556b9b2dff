#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

// Exception carrying the exact text of a request that was started wrongly.
class FtpException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Client state; every change raises OnStateChange. Scoped, because the
// server's connection states use some of the same names.
enum class TFtpState : int {
    ftpcClosed = 0,
    ftpcReady = 1,
    ftpcChaining = 2,
    ftpcResolving = 3,
    ftpcConnected = 4,
    ftpcAborting = 5,
    ftpcAwaitingGreeting = 7,
    ftpcAwaitingReply = 8,
};

// Request codes reported by OnRequestDone.
enum TFtpRequest : int {
    ftpNone = 0,
    ftpOpen = 1,
    ftpUser = 2,
    ftpPass = 3,
    ftpCwd = 4,
    ftpConnect = 5,
    ftpSessionGet = 6,
    ftpDir = 7,
    ftpLs = 8,
    ftpPort = 9,
    ftpGet = 10,
    ftpSessionDir = 11,
    ftpSessionLs = 12,
    ftpSessionSyst = 13,
    ftpSyst = 14,
    ftpQuit = 15,
    ftpPubk = 16,
    ftpSize = 17,
    ftpSessionSize = 17,
    ftpPut = 18,
    ftpAppend = 19,
    ftpMkd = 22,
    ftpRmd = 23,
    ftpSessionRename = 24,
    ftpDele = 25,
    ftpRename = 26,
    ftpRenTo = 27,
    ftpRenFrom = 28,
    ftpSessionDele = 29,
    ftpSessionMkd = 30,
    ftpSessionRmd = 31,
    ftpPwd = 32,
    ftpQuote = 33,
    ftpCDup = 34,
    ftpSessionQuote = 35,
    ftpSessionPut = 36,
    ftpSessionAppend = 36,
    ftpTypeSet = 37,
    ftpRest = 38,
    ftpRestGet = 39,
    ftpSessionRestGet = 40,
    ftpRestPut = 41,
    ftpSessionRestPut = 42,
    ftpFeat = 43,
};

// The steps a sequence is made of, one bit each, in the fixed order the
// sequence driver takes them.
enum TFtpStep : std::uint32_t {
    stepNone = 0,
    stepOpen = 1u << 0,
    stepUser = 1u << 1,
    stepPass = 1u << 2,
    // What the server supports, asked once after login when the options
    // say so; OPTS UTF8 ON follows within the same step when UTF8 is offered.
    stepFeat = 1u << 3,
    stepOpts = 1u << 4, // only ever the awaited reply's step, never in a set
    stepCwd = 1u << 5,
    stepCDup = 1u << 6,
    stepTypeSet = 1u << 7,
    stepPort = 1u << 8,
    stepRest = 1u << 9,
    stepGet = 1u << 10,
    stepPut = 1u << 11,
    stepAppend = 1u << 12,
    stepDir = 1u << 13,
    stepLs = 1u << 14,
    stepSyst = 1u << 15,
    stepMkd = 1u << 16,
    stepRmd = 1u << 17,
    stepRenFrom = 1u << 18,
    stepRenTo = 1u << 19,
    stepSize = 1u << 20,
    stepDele = 1u << 21,
    stepPwd = 1u << 22,
    stepQuote = 1u << 23,
    stepQuit = 1u << 24,
    // Not part of any sequence, only ever started alone.
    stepPubk = 1u << 25,
};
using TFtpStepSet = std::uint32_t;

enum TFtpConnectionType : int { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };

enum TFtpShareMode : int {
    ftpShareCompat = 0,
    ftpShareExclusive = 16,
    ftpShareDenyWrite = 32,
    ftpShareDenyRead = 48,
    ftpShareDenyNone = 64,
};

// Options, as bit flags.
// ftpAskFeatures: FEAT after login, and what the answer offers (EPSV, UTF8)
// used from then on.
enum TFtpOption : unsigned {
    ftpAcceptLF = 1u << 0,
    ftpNoAutoResumeAt = 1u << 1,
    ftpAskFeatures = 1u << 2,
};
using TFtpOptions = unsigned;
