#pragma once
#include "app/UpdateCheck.h"

class Prompts;

// The update check's result as the user meets it: a newer build asks
// whether to download it (Yes hands the installer's address to the
// desktop's browser, or shows the address when no browser starts), an error
// shows its dialog; an up-to-date program has only its log line. prompts
// outlives the question.
void ShowUpdateResult(const UpdateCheckResult& result, Prompts& prompts);
