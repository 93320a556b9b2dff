#include "app/ProgramLaunch.h"

#include "app/AppTexts.h"
#include "app/CommandLine.h"
#include "app/Settings.h"

#include <algorithm>

ProgramLaunch PrepareLaunch(const std::vector<std::string>& args,
                            const std::vector<std::string>& extraOptions,
                            const std::string& programFolder) {
    ProgramLaunch launch;
    CommandLine line = ParseCommandLine(args);
    if (!line.error.empty()) {
        launch.error = line.error;
        return launch;
    }
    for (const std::string& option : line.options) {
        if (option == apptexts::kHelpOption) {
            launch.helpRequested = true;
            return launch;
        }
        if (std::find(extraOptions.begin(), extraOptions.end(), option) == extraOptions.end()) {
            launch.error = apptexts::kUnknownOption + option;
            return launch;
        }
    }
    if (line.positional.size() > 1) {
        launch.error = apptexts::kTooManyArguments;
        return launch;
    }

    DataFolderResult folder = ResolveDataFolder(line.dataDir);
    if (folder.path.empty()) {
        launch.error = folder.error;
        return launch;
    }
    auto lock = std::make_unique<DataFolderLock>();
    if (!lock->Acquire(folder.path)) {
        launch.error = lock->Error();
        return launch;
    }
    launch.lock = std::move(lock);
    launch.dataFolder = folder.path;
    launch.settingsPath = SettingsPathFor(folder.path, line.positional);
    launch.helpFilePath = programFolder + apptexts::kHelpFileName;
    return launch;
}
