#pragma once
#include "crypto/ProgramKeys.h"

class Settings;

// Loads the stored key pair into keys.RSA1 (as Settings::LoadKeyPair does)
// and sets the sizes the program announces.
void LoadProgramKeys(Settings& settings, ProgramKeys& keys);

// The announced sizes: the stored "Currently" texts when they are valid,
// else the sizes of the pair itself.
void AnnounceStoredSizes(const Settings& settings, ProgramKeys& keys);
