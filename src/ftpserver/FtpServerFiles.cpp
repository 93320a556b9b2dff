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

void TFtpServer::CommandDELE(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcDELE;
    std::string path = EntryPath(Client, Params);
    if (!Validate(OnValidateDele, Client, path)) {
        Answer = replies::kDeleDenied;
        return;
    }
    if (Params.empty()) {
        Answer = replies::kSyntaxError;
        return;
    }
    if (!IsFileEntry(path)) {
        Answer = FormatReply(replies::kNoSuchFile, {path});
        return;
    }
    // unlink never follows a final link: a link is removed, not its target.
    Answer =
        FormatReply(::unlink(path.c_str()) == 0 ? replies::kDeleOk : replies::kDeleFailed, {path});
}

void TFtpServer::CommandRNFR(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcRNFR;
    std::string path = EntryPath(Client, Params);
    if (!Validate(OnValidateRnFr, Client, path)) {
        Answer = replies::kRnfrDenied;
        return;
    }
    if (Params.empty()) {
        Answer = replies::kRnfrSyntax;
        return;
    }
    if (!IsFileEntry(path)) {
        Answer = FormatReply(replies::kNoSuchFile, {path});
        return;
    }
    Client->RenameFrom = path;
    Answer = replies::kRnfrOk;
}

void TFtpServer::CommandRNTO(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcRNTO;
    std::string path = EntryPath(Client, Params);
    if (!Validate(OnValidateRnTo, Client, path)) {
        Answer = replies::kRntoDenied;
        return;
    }
    if (Params.empty()) {
        Answer = replies::kSyntaxError;
        return;
    }
    struct stat st {};
    if (LStatOf(path, st)) {
        Answer = FormatReply(replies::kRntoExists, {path});
        return;
    }
    if (!IsFileEntry(Client->RenameFrom)) {
        Answer = FormatReply(replies::kNoSuchFile, {Client->RenameFrom});
        return;
    }
    Client->RenameTo = path;
    // Never replaces an entry that appeared since the check above.
    const bool ok = ::renameat2(AT_FDCWD, Client->RenameFrom.c_str(), AT_FDCWD, path.c_str(),
                                RENAME_NOREPLACE) == 0;
    Answer = ok ? FormatReply(replies::kRntoOk, {Client->RenameFrom, path})
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
    std::string path = EntryPath(Client, Params);
    if (!Validate(OnValidateDele, Client, path)) {
        Answer = replies::kRmdDenied;
        return;
    }
    if (Params.empty()) {
        Answer = replies::kSyntaxError;
        return;
    }
    struct stat st {};
    if (!LStatOf(path, st)) {
        Answer = FormatReply(replies::kRmdNoSuch, {path});
        return;
    }
    Answer =
        FormatReply(::rmdir(path.c_str()) == 0 ? replies::kRmdOk : replies::kRmdFailed, {path});
}

void TFtpServer::CommandSIZE(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcSIZE;
    if (Params.empty()) {
        Answer = replies::kSyntaxError;
        return;
    }
    try {
        std::string path = ContentPath(Client, Params);
        // SECURITY: sizes are told only where the owner allows a download.
        struct stat st {};
        if (!Validate(OnValidateSize, Client, path) || ::stat(path.c_str(), &st) != 0 ||
            S_ISDIR(st.st_mode)) {
            Answer = FormatReply(replies::kCommandFailed, {replies::kFileNotFound});
            return;
        }
        Answer = FormatReply(replies::kSizeOk, {std::to_string(st.st_size)});
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kCommandFailed, {e.what()});
    }
}

void TFtpServer::CommandMDTM(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcMDTM;
    if (Params.empty()) {
        Answer = replies::kMdtmSyntax;
        return;
    }
    try {
        std::string path = ContentPath(Client, Params);
        struct stat st {};
        if (!Validate(OnValidateSize, Client, path) || ::stat(path.c_str(), &st) != 0 ||
            S_ISDIR(st.st_mode)) {
            Answer = FormatReply(replies::kNoSuchFile, {path});
            return;
        }
        Answer = FormatReply(replies::kMdtmOk, {FormatMdtmTime(st)});
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kCommandFailed, {e.what()});
    }
}
