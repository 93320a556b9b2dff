#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Pure helpers that read FTP reply lines and build command texts. They hold
// no state, so the engine and its tests share them.
namespace ftpreply {

// Reply code of a line: leading blanks, CR and LF skipped, an optional sign,
// then decimal digits. Returns 0 when there are no digits.
int ReplyCodeOf(const std::string& line);

// True when the line starts with a digit.
bool StartsWithDigit(const std::string& line);

// True when the code at the start of the line is followed by '-', i.e. the
// line opens or continues a multi-line reply.
bool IsContinuation(const std::string& line);

// True when the line ends a reply: three digits followed by a space or by
// nothing. Every other line (a "xyz-" line, an uncoded middle line of a
// multi-line reply, a stray text) only continues one.
bool IsFinalReplyLine(const std::string& line);

// True when the line has the plain reply form: three digits and a space or '-'.
// A line of exactly three digits also counts as plain.
bool HasPlainReplyForm(const std::string& line);

// The first double-quoted string right after the code ('257 "a""b" x' gives
// 'a"b'); empty when no quote follows the code and its blank.
std::string QuotedPath(const std::string& line);

// The second number on the line ("213 1234" gives 1234); -1 when absent.
std::int64_t SecondNumber(const std::string& line);

// The data port of a 227 reply: after "(", four fields skipped, then high and
// low byte. A reply without parentheses gives the last two of the first six
// comma-separated numbers after its code. Empty when the reply has neither form.
std::optional<int> PassivePort(const std::string& reply);

// The data port of a 229 reply: the number between the last two of the
// four equal delimiters inside the parentheses ("(|||6446|)"). Empty when
// the reply has no such form or names port 0.
std::optional<int> ExtendedPassivePort(const std::string& reply);

// "EPRT |1|a.b.c.d|port|" or "EPRT |2|v6address|port|" for a listener on
// address and port.
std::string ExtendedPortCommand(const std::string& address, int port);

// The size a transfer reply announces as "(N bytes)"; empty when it names none.
std::optional<std::int64_t> AnnouncedSize(const std::string& line);

// The PORT command for a listener on `port`; "127.0.0.1" as server address
// gives the loopback numbers, otherwise the local address of the control
// connection is used.
std::string PortCommand(const std::string& serverAddr, const std::string& localAddr, int port);

// "! N bytes received/sent in S seconds (R Bytes/sec)".
std::string StatisticsLine(std::int64_t count, std::int64_t elapsedMs);

} // namespace ftpreply
