#pragma once
#include <string>

// A failure's reason as vexa2-ftp prints it: the engine's own texts in plain
// words (no socket error numbers, no internal names, no reply code in front
// of what the server never said); the server's replies as they came.
std::string PlainReason(const std::string& reason);
