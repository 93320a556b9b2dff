// Listings, the file-management commands and the mapping of client paths
// (with the owner's check) that every command naming a path goes through.
#include "ftpserver/DirectoryListing.h"
#include "ftpserver/FtpServer.h"
#include "ftpserver/ListingProducer.h"
#include "ftpserver/NoLinkPath.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool LStatOf(const std::string& path, struct stat& st) {
    return ::lstat(path.c_str(), &st) == 0;
}

// unlinkat / mkdirat on the judged entry; false when it failed.
bool UnlinkJudged(const std::string& path, int flags) {
    try {
        TNoLinkEntry entry(path);
        return ::unlinkat(entry.Dir(), entry.Name(), flags) == 0;
    } catch (const FtpServerException&) {
        return false;
    }
}

bool MkdirJudged(const std::string& path) {
    try {
        TNoLinkEntry entry(path);
        return ::mkdirat(entry.Dir(), entry.Name(), 0777) == 0;
    } catch (const FtpServerException&) {
        return false;
    }
}

// SECURITY: renames the entry judged at RNFR to the one judged at RNTO; a
// folder of either that has become a link since is refused, never followed.
bool RenameJudged(const std::string& from, const std::string& to) {
    try {
        TNoLinkEntry source(from);
        TNoLinkEntry target(to);
        // Never replaces an entry that appeared since the check.
        return ::renameat2(source.Dir(), source.Name(), target.Dir(), target.Name(),
                           RENAME_NOREPLACE) == 0;
    } catch (const FtpServerException&) {
        return false;
    }
}

// Any entry that is not a directory, a symbolic link included.
bool IsFileEntry(const std::string& path) {
    struct stat st {};
    return LStatOf(path, st) && !S_ISDIR(st.st_mode);
}

// False, with the "no such file" reply naming shown in Answer, unless path
// is a file entry.
bool FileEntryFound(const std::string& path, const std::string& shown, std::string& Answer) {
    if (IsFileEntry(path))
        return true;
    Answer = FormatReply(replies::kNoSuchFile, {shown});
    return false;
}

} // namespace

std::string TFtpServer::ContentPath(TFtpCtrlSocket* Client, const std::string& Params) const {
    return CanonicalPath(MapClientPath(VirtMapTable, Client->Directory, Params), true);
}

std::string TFtpServer::EntryPath(TFtpCtrlSocket* Client, const std::string& Params) const {
    return CanonicalPath(MapClientPath(VirtMapTable, Client->Directory, Params), false);
}

std::string TFtpServer::ShownPath(TFtpCtrlSocket* Client, const std::string& Params) const {
    return LexicalPath(MapClientPath(VirtMapTable, Client->Directory, Params));
}

bool TFtpServer::Validate(const TFtpSrvValidateEvent& event, TFtpCtrlSocket* Client,
                          std::string& path) {
    bool allowed = true;
    if (event)
        event(this, Client, path, allowed);
    return allowed;
}

std::string TFtpServer::WithoutOptionWords(TFtpCtrlSocket* Client, const std::string& name) const {
    std::string rest = name;
    while (!rest.empty() && rest.front() == '-') {
        const std::size_t end = rest.find_first_of(" \t");
        const std::string word = rest.substr(0, end);
        struct stat st {};
        // A word with a "/" or one that names an entry here is a name.
        if (word.find('/') != std::string::npos ||
            LStatOf(WithTrailingSlash(Client->Directory) + word, st))
            break;
        const std::size_t next = rest.find_first_not_of(" \t", end);
        rest = next == std::string::npos ? std::string() : rest.substr(next);
    }
    return rest;
}

void TFtpServer::DirectoryCommand(TFtpCtrlSocket* Client, std::string& Params, std::string& Answer,
                                  bool Detailed) {
    Client->CloseTransferSource();
    try {
        const std::string name = WithoutOptionWords(Client, ClientName(Params));
        TListingScope scope;
        std::string directory =
            name.empty() ? CanonicalPath(Client->Directory, true) : ContentPath(Client, name);
        struct stat st {};
        const std::size_t slash = name.find_last_of('/');
        const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
        // A name that exists as written is taken as written; otherwise a
        // pattern in the last component lists the matching entries of its
        // folder, and the folder is what is judged.
        if (IsNamePattern(last) && !LStatOf(directory, st)) {
            scope.Pattern = last;
            directory = slash == std::string::npos ? CanonicalPath(Client->Directory, true)
                                                   : ContentPath(Client, name.substr(0, slash + 1));
        }
        if (OnBuildDirectory)
            OnBuildDirectory(this, Client, directory, Detailed);
        if (OnListWay)
            OnListWay(this, Client, directory, scope.WayOnly, scope.WayNames);
        if (!Client->DataStream.IsOpen()) {
            // The folder is opened now, right after it was judged; its
            // entries are read and sent a slice at a time.
            Client->Listing = std::make_unique<TListingProducer>(
                directory, Detailed, PermaLinkTable, VirtMapTable, scope,
                VirtualChildren(VirtMapTable, directory));
            Client->HasOpenedFile = true;
            if (OnAlterDirectory)
                OnAlterDirectory(this, Client, directory, Detailed);
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
    // A missing name is a syntax fault, whatever the rights.
    if (Params.empty()) {
        Answer = syntax;
        return std::nullopt;
    }
    std::string path = EntryPath(Client, Params);
    if (!Validate(event, Client, path)) {
        Answer = denied;
        return std::nullopt;
    }
    return path;
}

void TFtpServer::CommandDELE(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcDELE;
    const auto path = AllowedEntry(Client, Params, OnValidateDele, replies::kDeleDenied,
                                   replies::kSyntaxError, Answer);
    const std::string shown = ShownPath(Client, Params);
    if (!path || !FileEntryFound(*path, shown, Answer))
        return;
    // unlink never follows a final link: a link is removed, not its target.
    Answer = FormatReply(UnlinkJudged(*path, 0) ? replies::kDeleOk : replies::kDeleFailed, {shown});
}

void TFtpServer::CommandRNFR(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcRNFR;
    const auto path = AllowedEntry(Client, Params, OnValidateRnFr, replies::kRnfrDenied,
                                   replies::kRnfrSyntax, Answer);
    const std::string shown = ShownPath(Client, Params);
    if (!path || !FileEntryFound(*path, shown, Answer))
        return;
    Client->RenameFrom = *path;
    Client->RenameFromShown = shown;
    Answer = replies::kRnfrOk;
}

void TFtpServer::CommandRNTO(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcRNTO;
    const auto path = AllowedEntry(Client, Params, OnValidateRnTo, replies::kRntoDenied,
                                   replies::kSyntaxError, Answer);
    if (!path)
        return;
    const std::string shown = ShownPath(Client, Params);
    struct stat st {};
    if (LStatOf(*path, st)) {
        Answer = FormatReply(replies::kRntoExists, {shown});
        return;
    }
    if (!FileEntryFound(Client->RenameFrom, Client->RenameFromShown, Answer))
        return;
    Client->RenameTo = *path;
    const bool ok = RenameJudged(Client->RenameFrom, *path);
    Answer = ok ? FormatReply(replies::kRntoOk, {Client->RenameFromShown, shown})
                : FormatReply(replies::kRntoFailed, {Client->RenameFromShown});
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
    Answer = FormatReply(MkdirJudged(path) ? replies::kMkdOk : replies::kMkdFailed, {Params});
}

void TFtpServer::CommandRMD(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                            std::string& Answer) {
    Client->CurCmdType = ftpcRMD;
    const auto path = AllowedEntry(Client, Params, OnValidateDele, replies::kRmdDenied,
                                   replies::kSyntaxError, Answer);
    if (!path)
        return;
    const std::string shown = ShownPath(Client, Params);
    struct stat st {};
    if (!LStatOf(*path, st)) {
        Answer = FormatReply(replies::kRmdNoSuch, {shown});
        return;
    }
    Answer = FormatReply(UnlinkJudged(*path, AT_REMOVEDIR) ? replies::kRmdOk : replies::kRmdFailed,
                         {shown});
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
        const bool found = Validate(OnValidateSize, Client, path) && StatNoLinks(path, st) &&
                           !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode);
        // SECURITY: a reply names the path as the client gave it, never
        // where a link leads.
        Answer = reply(ShownPath(Client, Params), found ? &st : nullptr);
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
