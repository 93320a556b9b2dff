// Features and machine listings: FEAT, OPTS, MLSD, MLST and MFMT.
#include "ftpserver/FtpServer.h"
#include "ftpserver/NoLinkPath.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The folder holding a canonical path ("/" for "/" itself).
std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool SameNoCase(const std::string& a, const std::string& b) {
    return Upper(a) == Upper(b);
}

} // namespace

void TFtpServer::CommandFEAT(TFtpCtrlSocket* Client, std::string&, std::string&,
                             std::string& Answer) {
    Client->CurCmdType = ftpcFEAT;
    // Each line is a reply line of its own, so a client that reads replies
    // line by line (and an enciphered session) sees whole lines.
    SendAnswer(Client, replies::kFeatBegin);
    for (const std::string& feature :
         {std::string("EPRT"), std::string("EPSV"), std::string("MDTM"), std::string("MFMT"),
          MlstFeatureLine(Client->MlstFacts), std::string("REST STREAM"), std::string("SIZE"),
          std::string("TVFS"), std::string("UTF8")})
        SendAnswer(Client, " " + feature);
    Answer = replies::kFeatEnd;
}

void TFtpServer::CommandOPTS(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcOPTS;
    const std::size_t space = Params.find_first_of(" \t");
    const std::string option = Upper(Params.substr(0, space));
    const std::size_t restStart = Params.find_first_not_of(" \t", space);
    std::string rest = restStart == std::string::npos ? std::string() : Params.substr(restStart);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.pop_back();
    // Names are byte strings already: UTF-8 names pass as they are.
    if (option == "UTF8" && Upper(rest) == "ON") {
        Answer = replies::kOptsUtf8;
    } else if (option == "MLST") {
        Client->MlstFacts = ParseMlstFacts(rest);
        Answer = FormatReply(replies::kOptsMlst, {MlstFactNames(Client->MlstFacts)});
    } else {
        Answer = replies::kOptsNotUnderstood;
    }
}

unsigned TFtpServer::FolderRights(TFtpCtrlSocket* Client, const std::string& folder) {
    unsigned rights = kAllFolderRights;
    if (OnFolderRights)
        OnFolderRights(this, Client, folder, rights);
    return rights;
}

std::string TFtpServer::EntryFacts(TFtpCtrlSocket* Client, const std::string& folder,
                                   unsigned folderRights, const std::string& ownPath,
                                   const struct stat& st) {
    const unsigned facts = Client->MlstFacts;
    const std::string name = ownPath.substr(ownPath.find_last_of('/') + 1);
    if (name == ".")
        return FactsText("cdir", st, FolderPerm(0, folderRights), facts);
    if (name == "..")
        return FactsText("pdir", st, FolderPerm(0, FolderRights(Client, ParentFolder(folder))),
                         facts);
    if (S_ISLNK(st.st_mode))
        return FactsText("OS.unix=symlink", st, FilePerm(folderRights & (frDelete | frRename)),
                         facts);
    if (S_ISDIR(st.st_mode))
        return FactsText("dir", st, FolderPerm(folderRights, FolderRights(Client, ownPath)), facts);
    return FactsText("file", st, FilePerm(folderRights), facts);
}

std::string TFtpServer::MachineListedPath(TFtpCtrlSocket* Client, const std::string& Params) {
    // No patterns and no option words: the argument is a path as written.
    const std::string name = ClientName(Params);
    std::string path =
        name.empty() ? CanonicalPath(Client->Directory, true) : ContentPath(Client, name);
    // The owner judges it as a listing (LIST gives the same refusal).
    if (OnBuildDirectory)
        OnBuildDirectory(this, Client, path, true);
    return path;
}

void TFtpServer::CommandMLSD(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcMLSD;
    Client->CloseTransferSource();
    try {
        const std::string directory = MachineListedPath(Client, Params);
        const std::string shown = Params.empty() ? directory : ShownPath(Client, Params);
        struct stat st {};
        if (!StatNoLinks(directory, st)) {
            Answer = FormatReply(replies::kNoSuchFile, {shown});
            return;
        }
        if (!S_ISDIR(st.st_mode)) {
            Answer = FormatReply(replies::kNotADirectory, {shown});
            return;
        }
        TListingScope scope;
        if (OnListWay)
            OnListWay(this, Client, directory, scope.WayOnly, scope.WayNames);
        std::vector<TVirtualChild> virtuals = VirtualChildren(VirtMapTable, directory);
        Client->Listing = std::make_unique<TListingProducer>(directory, true, PermaLinkTable,
                                                             VirtMapTable, scope, virtuals);
        const unsigned rights = FolderRights(Client, directory);
        const std::string base = WithTrailingSlash(directory);
        Client->Listing->SetMachineLines(
            [this, Client, directory, base, rights, virtuals](const std::string& name,
                                                              const struct stat& est) {
                // A folder mounted here has the rights of its own folder.
                std::string own = base + name;
                for (const auto& v : virtuals)
                    if (SameNoCase(v.Name, name))
                        own = CanonicalPath(v.LocalFolder, true);
                return EntryFacts(Client, directory, rights, own, est) + name + "\r\n";
            },
            [this, Client](const std::string& linkName, const std::string& folder) {
                const unsigned facts = Client->MlstFacts;
                const unsigned target = FolderRights(Client, CanonicalPath(folder, true));
                std::string line;
                if (facts & mfType)
                    line += "type=OS.unix=symlink;";
                if (facts & mfPerm)
                    line += "perm=" + FolderPerm(0, target & (frEnter | frList)) + ";";
                return line + " " + linkName + "\r\n";
            });
        Client->HasOpenedFile = true;
        if (OnAlterDirectory) {
            std::string listed = directory;
            OnAlterDirectory(this, Client, listed, true);
        }
        Client->FilePath.clear();
        Client->RestartPos = 0;
        Answer = replies::kOpeningList;
        PrepareDownload(Client);
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kListFailed, {e.what()});
    }
}

void TFtpServer::CommandMLST(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcMLST;
    try {
        const std::string path = MachineListedPath(Client, Params);
        const std::string shown =
            ShowVirtMap(VirtMapTable, Params.empty() ? path : ShownPath(Client, Params));
        struct stat st {};
        if (!StatNoLinks(path, st)) {
            Answer = FormatReply(replies::kNoSuchFile, {shown});
            return;
        }
        const std::string folder = ParentFolder(path);
        const std::string facts =
            EntryFacts(Client, folder, FolderRights(Client, folder), path, st);
        SendAnswer(Client, FormatReply(replies::kMlstBegin, {shown}));
        SendAnswer(Client, " " + facts + shown);
        Answer = replies::kMlstEnd;
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kListFailed, {e.what()});
    }
}

void TFtpServer::CommandMFMT(TFtpCtrlSocket* Client, std::string&, std::string& Params,
                             std::string& Answer) {
    Client->CurCmdType = ftpcMFMT;
    const std::size_t space = Params.find(' ');
    std::time_t time = 0;
    if (space == std::string::npos || !ParseMachineTime(Params.substr(0, space), time)) {
        Answer = replies::kMfmtSyntax;
        return;
    }
    const std::size_t nameStart = Params.find_first_not_of(' ', space);
    if (nameStart == std::string::npos) {
        Answer = replies::kMfmtSyntax;
        return;
    }
    const std::string name = Params.substr(nameStart);
    try {
        std::string path = EntryPath(Client, name);
        // SECURITY: changing a file's time is a change of the file: it needs
        // the right to write it.
        if (!Validate(OnValidateTime, Client, path)) {
            Answer = replies::kMfmtDenied;
            return;
        }
        struct stat st {};
        if (!StatNoLinks(path, st) || !S_ISREG(st.st_mode)) {
            Answer = FormatReply(replies::kNoSuchFile, {ShownPath(Client, name)});
            return;
        }
        // SECURITY: the judged entry itself; a link swapped in since is
        // never followed.
        TNoLinkEntry entry(path);
        const timespec times[2] = {{0, UTIME_OMIT}, {time, 0}};
        if (::utimensat(entry.Dir(), entry.Name(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            Answer = FormatReply(replies::kCommandFailed, {SystemErrorText(errno)});
            return;
        }
        Answer = FormatReply(replies::kMfmtOk, {MachineTime(time), name});
    } catch (const std::exception& e) {
        Answer = FormatReply(replies::kCommandFailed, {e.what()});
    }
}
