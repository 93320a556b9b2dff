#pragma once
#include "accounts/RecordAdmin.h"

#include <QString>

class Prompts;
class QWidget;

// The folder picker of the settings pages (a non-native dialog, so tests can
// drive it): the chosen folder, or empty when cancelled.
QString PickFolder(QWidget* parent);

// Shows the message of a refused list or account operation.
void ReportRefusal(Prompts& prompts, const accounts::AdminResult& result);
