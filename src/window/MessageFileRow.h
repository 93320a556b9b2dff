#pragma once
#include <QString>

#include <string>

class Prompts;
class QWidget;
class SettingBinder;

// A message-file option (connect, login or logout message): its path edit
// with the browse button ("Locate Message File") and the create button. The
// create button edits the named file in a small text editor; with no file
// named it first asks for a new one (createTitle, in the data folder, ".txt"
// by default), names it in the option and creates it empty.
QWidget* MakeMessageFileRow(SettingBinder& binder, const char* key, const char* createTitle,
                            const std::string& dataFolder, Prompts& prompts, QWidget* parent);

// The editor: the file's lines, saved all-or-nothing by its Save button.
void EditMessageFile(QWidget* parent, const QString& path, Prompts& prompts);
