// Listings and the file-management commands.
#include "ftpserver/DirectoryListing.h"
#include "ftpserver/FtpServer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool LStatOf(const std::string& path, struct stat& st) {
    return ::lstat(path.c_str(), &st) == 0;
}

// Any entry that is not a directory, a symbolic link included.
bool IsFileEntry(const std::string& path) {
    struct stat st {};
    return LStatOf(path, st) && !S_ISDIR(st.st_mode);
}

// False, with the "no such file" reply in Answer, unless path is a file entry.
bool FileEntryFound(const std::string& path, std::string& Answer) {
    if (IsFileEntry(path))
        return true;
    Answer = FormatReply(replies::kNoSuchFile, {path});
    return false;
}

} // namespace

void TFtpServer::DirectoryCommand(TFtpCtrlSocket* Client, std::string& Params, std::string& Answer,
                                  bool Detailed) {
    Client->DataStream.Close();
    try {
        const std::string name = ClientName(Params);
        std::string directory =
            name.empty() ? CanonicalPath(Client->Directory, true) : ContentPath(Client, name);
        if (OnBuildDirectory)
            OnBuildDirectory(this, Client, directory, Detailed);
        if (!Client->DataStream.IsOpen()) {
            Client->DataStream.SetMemory(
                BuildDirectoryList(directory, Detailed, PermaLinkTable, VirtMapTable));
            Client->HasOpenedFile = true;
            if (OnAlterDirectory)
                OnAlterDirectory(this, Client, directory, Detailed);
            Client->DataStream.Rewind();
        }
        Client->FilePath.clear();
        Client->RestartPos = 0;
        Answer = replies::kOpeningList;
        PrepareDownload(Client);
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kListFailed, {e.what()});
    }
}

void TFtpServer::CommandLIST(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcLIST;
    DirectoryCommand(Client, Params, Answer, true);
}

void TFtpServer::CommandNLST(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcNLST;
    DirectoryCommand(Client, Params, Answer, false);
}

std::optional<std::string> TFtpServer::AllowedEntry(TFtpCtrlSocket* Client,
                                                    const std::string& Params,
                                                    const TFtpSrvValidateEvent& event,
                                                    const char* denied, const char* syntax,
                                                    std::string& Answer) {
    // The owner is asked before the name is checked, so it sees every attempt.
    std::string path = EntryPath(Client, Params);
    if (!Validate(event, Client, path)) {
        Answer = denied;
        return std::nullopt;
    }
    if (Params.empty()) {
        Answer = syntax;
        return std::nullopt;
    }
    return path;
}

void TFtpServer::CommandDELE(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcDELE;
    const auto path = AllowedEntry(Client, Params, OnValidateDele, replies::kDeleDenied,
                                   replies::kSyntaxError, Answer);
    if (!path || !FileEntryFound(*path, Answer))
        return;
    // unlink never follows a final link: a link is removed, not its target.
    Answer = FormatReply(::unlink(path->c_str()) == 0 ? replies::kDeleOk : replies::kDeleFailed,
                         {*path});
}

void TFtpServer::CommandRNFR(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcRNFR;
    const auto path = AllowedEntry(Client, Params, OnValidateRnFr, replies::kRnfrDenied,
                                   replies::kRnfrSyntax, Answer);
    if (!path || !FileEntryFound(*path, Answer))
        return;
    Client->RenameFrom = *path;
    Answer = replies::kRnfrOk;
}

void TFtpServer::CommandRNTO(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcRNTO;
    const auto path = AllowedEntry(Client, Params, OnValidateRnTo, replies::kRntoDenied,
                                   replies::kSyntaxError, Answer);
    if (!path)
        return;
    struct stat st {};
    if (LStatOf(*path, st)) {
        Answer = FormatReply(replies::kRntoExists, {*path});
        return;
    }
    if (!FileEntryFound(Client->RenameFrom, Answer))
        return;
    Client->RenameTo = *path;
    // Never replaces an entry that appeared since the check above.
    const bool ok = ::renameat2(AT_FDCWD, Client->RenameFrom.c_str(), AT_FDCWD, path->c_str(),
                                RENAME_NOREPLACE) == 0;
    Answer = ok ? FormatReply(replies::kRntoOk, {Client->RenameFrom, *path})
                : FormatReply(replies::kRntoFailed, {Client->RenameFrom});
}

void TFtpServer::CommandMKD(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                            std::string& Answer) {
    Client->CurCmdType = ftpcMKD;
    const std::string path = EntryPath(Client, Params);
    bool allowed = true;
    if (OnMakeDirectory)
        OnMakeDirectory(this, Client, path, allowed);
    if (!allowed) {
        Answer = FormatReply(replies::kMkdFailed, {Params});
        return;
    }
    if (Params.empty()) {
        Answer = replies::kSyntaxError;
        return;
    }
    if (IsFileEntry(path)) {
        Answer = FormatReply(replies::kMkdExists, {Params});
        return;
    }
    Answer = FormatReply(::mkdir(path.c_str(), 0777) == 0 ? replies::kMkdOk : replies::kMkdFailed,
                         {Params});
}

void TFtpServer::CommandRMD(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                            std::string& Answer) {
    Client->CurCmdType = ftpcRMD;
    const auto path = AllowedEntry(Client, Params, OnValidateDele, replies::kRmdDenied,
                                   replies::kSyntaxError, Answer);
    if (!path)
        return;
    struct stat st {};
    if (!LStatOf(*path, st)) {
        Answer = FormatReply(replies::kRmdNoSuch, {*path});
        return;
    }
    Answer =
        FormatReply(::rmdir(path->c_str()) == 0 ? replies::kRmdOk : replies::kRmdFailed, {*path});
}

void TFtpServer::FileStatusCommand(
    TFtpCtrlSocket* Client, const std::string& Params, const char* syntax, std::string& Answer,
    const std::function<std::string(const std::string& path, const struct stat* st)>& reply) {
    if (Params.empty()) {
        Answer = syntax;
        return;
    }
    try {
        std::string path = ContentPath(Client, Params);
        // SECURITY: a file's status is told only where the owner allows a download.
        struct stat st {};
        const bool found = Validate(OnValidateSize, Client, path) &&
                           ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
        Answer = reply(path, found ? &st : nullptr);
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kCommandFailed, {e.what()});
    }
}

void TFtpServer::CommandSIZE(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcSIZE;
    FileStatusCommand(Client, Params, replies::kSyntaxError, Answer,
                      [](const std::string&, const struct stat* st) {
                          return st ? FormatReply(replies::kSizeOk, {std::to_string(st->st_size)})
                                    : FormatReply(replies::kCommandFailed,
                                                  {replies::kFileNotFound});
                      });
}

void TFtpServer::CommandMDTM(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcMDTM;
    FileStatusCommand(Client, Params, replies::kMdtmSyntax, Answer,
                      [](const std::string& path, const struct stat* st) {
                          return st ? FormatReply(replies::kMdtmOk, {FormatMdtmTime(*st)})
                                    : FormatReply(replies::kNoSuchFile, {path});
                      });
}
