#pragma once

// The version text shown in the window caption, the server greeting, the SYST
// reply and the update check.
inline constexpr const char* kVersionText = "Vexa Version 2.0.6.323";
