#pragma once
// Prepares a client's data folder for vexa2-ftp tests: a site store written
// record by record, and the program's key pair made by vexa2-admin.
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

inline void GenerateKeyPair(const std::string& dataDir) {
    using namespace testing_support;
    CommandResult r = RunCommand(ProgramPath("vexa2-admin"),
                                 {"--data-dir", dataDir, "keys", "generate", "--bits", "512"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}
