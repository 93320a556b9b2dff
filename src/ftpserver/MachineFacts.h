#pragma once
// The facts of machine listings (MLSD, MLST): which facts exist, how they
// are selected and written, and the times of MDTM-style commands in UTC.
#include <sys/stat.h>

#include <ctime>
#include <string>

// The facts a client may select with OPTS MLST.
enum TMlstFact : unsigned {
    mfType = 1,
    mfSize = 2,
    mfModify = 4,
    mfPerm = 8,
    mfUnique = 16,
};
inline constexpr unsigned kAllMlstFacts = mfType | mfSize | mfModify | mfPerm | mfUnique;

// What an account may do in one folder, as the owner answers it; the
// letters of the "perm" fact are made from these.
enum TFolderRight : unsigned {
    frRead = 1,     // RETR of its files
    frWrite = 2,    // STOR and APPE of its files
    frDelete = 4,   // DELE and RMD of its entries
    frRename = 8,   // RNFR and RNTO of its entries
    frList = 16,    // LIST and MLSD of it
    frEnter = 32,   // CWD into it
    frMakeDir = 64, // MKD of a folder in it
};
inline constexpr unsigned kAllFolderRights = 127;

// The FEAT line: "MLST type*;size*;modify*;perm*;unique*;" with a "*"
// after each selected fact.
std::string MlstFeatureLine(unsigned selected);

// OPTS MLST: the facts named in text ("type;size;", any letter case;
// unknown names are ignored), and their names as the reply lists them.
unsigned ParseMlstFacts(const std::string& text);
std::string MlstFactNames(unsigned selected);

// The perm letters of an entry: a file from the rights of its folder, a
// folder from those of the folder holding it and its own.
std::string FilePerm(unsigned folderRights);
std::string FolderPerm(unsigned parentRights, unsigned ownRights);

// "fact=value;" for each selected fact, then one space: the part of a
// machine-listing line before the name. type is the value of the type fact
// ("file", "dir", "cdir", "pdir", "OS.unix=symlink"); size is given for
// files and links only.
std::string FactsText(const std::string& type, const struct stat& st, const std::string& perm,
                      unsigned selected);

// A time as "YYYYMMDDHHMMSS" in UTC, and back: 14 digits of a valid date,
// optionally followed by "." and up to 3 digits (ignored); false otherwise.
std::string MachineTime(std::time_t time);
bool ParseMachineTime(const std::string& text, std::time_t& time);
