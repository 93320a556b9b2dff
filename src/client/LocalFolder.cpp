#include "client/LocalFolder.h"

#include "client/FileRowOrder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

std::string MakeNumberedFolder(const std::string& folder, const std::string& base) {
    std::string dir = folder;
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    // mkdir itself tells whether the name is taken, so two programs making
    // a folder at once never get the same one.
    for (int n = 0; n < 10000; ++n) {
        const std::string path = dir + base + (n == 0 ? std::string() : std::to_string(n));
        if (::mkdir(path.c_str(), 0777) == 0)
            return path;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

std::vector<LocalEntry> ReadLocalFolder(const std::string& folder) {
    std::vector<LocalEntry> entries;
    const QFileInfoList infos =
        QDir(QString::fromStdString(folder))
            .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                           QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
    entries.reserve(static_cast<std::size_t>(infos.size()));
    for (const QFileInfo& info : infos) {
        LocalEntry e;
        e.Name = info.fileName().toStdString();
        e.Path = info.absoluteFilePath().toStdString();
        e.Folder = info.isDir();
        e.Size = e.Folder ? 0 : info.size();
        e.Modified = info.lastModified().toSecsSinceEpoch();
        entries.push_back(std::move(e));
    }
    return entries;
}

void SortLocalEntries(std::vector<LocalEntry>& entries, int column, bool descending) {
    SortFileRows(entries, column, descending, [](const LocalEntry& e) {
        return FileRowKey{e.Name, e.Size, e.Modified};
    });
}
