#pragma once
#include "client/SessionValues.h"
#include "crypto/ProgramKeys.h"

class Settings;

// What a client connection takes from the settings and the program's key
// pair when it starts: the key texts to announce, the default SOCKS server
// and the passive choice. programDirectory is left to the caller.
ClientDefaults ClientDefaultsFromSettings(const Settings& settings, const ProgramKeys& keys);
