#include "ftpserver/FtpServerException.h"
#include "ftpserver/NoLinkPath.h"
#include "ftpserver/TransferStream.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// What opening a path refusing links says: "" when it opened.
std::string OpenFailure(const std::string& path) {
    try {
        const int fd = OpenNoLinks(path, O_RDONLY);
        ::close(fd);
        return "";
    } catch (const FtpServerException& e) {
        return e.what();
    }
}

} // namespace

TEST(NoLinkPath, OpensRealPathsAndRefusesALinkAnywhereOnTheWay) {
    QTemporaryDir temp;
    // The temporary folder's own path may pass through a link (/tmp on
    // some systems); the cases start from its real path.
    const std::string root = std::filesystem::canonical(temp.path().toStdString()).string();
    std::filesystem::create_directories(root + "/a/b");
    std::ofstream(root + "/a/b/file.txt") << "x";
    std::filesystem::create_directory_symlink(root + "/a", root + "/link");
    std::filesystem::create_symlink(root + "/a/b/file.txt", root + "/a/b/filelink");

    const struct {
        std::string path;
        std::string failure;
    } cases[] = {
        {root + "/a/b/file.txt", ""},
        {root + "/link/b/file.txt", SystemErrorText(ENOTDIR)},
        {root + "/a/b/filelink", SystemErrorText(ELOOP)},
        {root + "/a/missing/file.txt", SystemErrorText(ENOENT)},
        {root + "/a/b/file.txt/more", SystemErrorText(ENOTDIR)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(OpenFailure(c.path), c.failure);
    }
}
