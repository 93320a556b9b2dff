#pragma once
#include "app/DataFolder.h"

#include <memory>
#include <string>
#include <vector>

// The first steps of every start of the program, window or headless: the
// arguments read, the data folder found (and created) and its lock taken.
struct ProgramLaunch {
    std::string error;          // non-empty: the one-line reason to stop with
    bool helpRequested = false; // --help was given: show the usage and stop
    std::string dataFolder;     // ends in "/"
    std::string settingsPath;
    std::string helpFilePath; // the user manual beside the program
    std::unique_ptr<DataFolderLock> lock;
};

// args exclude the program name; extraOptions are the "--" options this
// front end accepts besides --data-dir and --help; programFolder ends in "/".
ProgramLaunch PrepareLaunch(const std::vector<std::string>& args,
                            const std::vector<std::string>& extraOptions,
                            const std::string& programFolder);
