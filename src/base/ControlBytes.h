#pragma once
// Bytes that end, split or colour a line: below 0x20, and DEL (0x7F).
#include <string>
#include <string_view>

bool IsControlByte(unsigned char c);
bool HoldsControlByte(std::string_view text);

// The text with every control byte written as "\xNN" (two lower-case hex
// digits), and a backslash that starts such a form doubled, so a log line
// can never be split, coloured or forged by what a peer sent.
std::string EscapeControlBytes(std::string_view text);

// A message that may hold CR LF between its parts (socket errors) as one
// line: each line break becomes " - ".
std::string OneLineMessage(std::string_view text);
