#pragma once

class QWidget;
class SettingBinder;

// What a path option names, which decides its browse dialog.
enum class PathKind {
    Folder,      // an existing folder, kept with a trailing "/"
    MessageFile, // an existing file, with the create button beside it
    LogFile,     // a file to write, existing or not
};

// A path option's edit with its browse button, bound to the option.
QWidget* MakePathRow(SettingBinder& binder, const char* key, PathKind kind, QWidget* parent);
