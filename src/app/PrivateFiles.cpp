#include "app/PrivateFiles.h"

#include "accounts/AccountFiles.h"
#include "app/AppTexts.h"
#include "base/StoredFile.h"
#include "client/SiteStoreTexts.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

std::vector<std::string> PrivateFileNames() {
    return {accounts::kUsersSaved,       accounts::kUsersWorking,    accounts::kGroupsSaved,
            accounts::kGroupsWorking,    site_texts::kStoreFile,     site_texts::kOldStoreFile,
            site_texts::kDeleteCopyFile, apptexts::kSettingsFileName};
}

std::vector<std::string> MakeStoredFilesPrivate(const std::string& folder) {
    std::vector<std::string> lines;
    for (const std::string& name : PrivateFileNames()) {
        const std::string path = folder + name;
        struct stat st {};
        // lstat: a link is left alone; whatever it points to is not ours to change.
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const mode_t mode = st.st_mode & 07777;
        if ((mode & ~stored_file::kPrivateMode) == 0)
            continue;
        if (::chmod(path.c_str(), stored_file::kPrivateMode) == 0)
            lines.push_back(apptexts::MadePrivate(path, mode));
        else
            lines.push_back(apptexts::CannotMakePrivate(path, std::strerror(errno)));
    }
    return lines;
}
