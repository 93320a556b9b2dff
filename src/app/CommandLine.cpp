#include "app/CommandLine.h"

#include "app/AppTexts.h"

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    const std::string opt = apptexts::kDataDirOption;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == opt) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                cl.error = apptexts::kDataDirMissingValue;
                return cl;
            }
            cl.dataDir = args[++i];
        } else if (a.rfind(opt + "=", 0) == 0) {
            if (a.size() == opt.size() + 1) {
                cl.error = apptexts::kDataDirMissingValue;
                return cl;
            }
            cl.dataDir = a.substr(opt.size() + 1);
        } else if (a.rfind("--", 0) == 0) {
            cl.options.push_back(a);
        } else {
            cl.positional.push_back(a);
        }
    }
    return cl;
}
