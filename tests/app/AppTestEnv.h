#pragma once
#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

// Every test here gets its own data, configuration and working folders, so
// parallel runs never share a settings file, a lock or the registry stand-in.
class AppTestEnv : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_DATA_HOME", (root.Path() + "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root.Path() + "config").c_str(), 1);
    }
    std::string DataFolder() const { return root.File("data/vexa2/"); }
    std::string RegistryFile() const { return root.File("config/Quorvel/Vexa2/registry.ini"); }

    testing_support::TempDir root;
};
