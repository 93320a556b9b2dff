#pragma once
#include <string>

class Prompts;

// A start of the desktop program that cannot go on (a bad argument, a data
// folder another Vexa program holds): the reason goes to standard error, as
// for every front end, and into a dialog, since a program started from the
// desktop's menu has no terminal to show it. Returns when the dialog is
// closed.
void ShowLaunchRefusal(const std::string& reason, Prompts& prompts);
