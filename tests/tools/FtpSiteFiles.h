#pragma once
// Prepares a client's data folder for vexa2-ftp tests: a site store written
// record by record, and sites and the program's key pair made by vexa2-admin.
#include "Peers.h"
#include "client/SiteRecord.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

inline void WriteSiteStore(const std::string& dataDir, const std::vector<SiteRecord>& sites) {
    std::ofstream out(dataDir + "vexa2sites.dat", std::ios::binary | std::ios::trunc);
    for (const SiteRecord& site : sites) {
        SiteRecord::Bytes bytes = site.ToBytes();
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
}

// Runs vexa2-admin on the data folder; the command must succeed.
inline void Admin(const std::string& dataDir, std::vector<std::string> args) {
    using namespace testing_support;
    args.insert(args.begin(), {"--data-dir", dataDir});
    CommandResult r = RunCommand(ProgramPath("vexa2-admin"), args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

inline void GenerateKeyPair(const std::string& dataDir) {
    Admin(dataDir, {"keys", "generate", "--bits", "512"});
}
