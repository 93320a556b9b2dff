#pragma once
#include <string>

class Settings;

// How the options on the settings pages depend on each other. The pages ask
// these rules and show the answer; they decide nothing themselves.

// Whether the control of an option can be changed now: "Hide from Taskbar"
// only while "Minimize to Tray" is on, "Append Logs" only while "Timestamp
// Logs" is off, the idle seconds only while "Idle timeout" is on.
bool OptionEnabled(const Settings& settings, const std::string& key);

// A check box pressed by the user. "Start Maximized" and "Start Minimized"
// exclude each other: pressing one on turns the other off. (A file that
// stores both keeps both; the window then ends minimised.)
void PressOption(Settings& settings, const std::string& key, bool checked);

// Options whose text may hold only the digits 0 to 9.
bool DigitsOnly(const std::string& key);
