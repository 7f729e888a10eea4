#pragma once

// lumvik-auto as a process: a copy of the program in a folder of its own, with its two files beside it
// and embedded databases holding one machine, the temporary product and one bill of one line.

#include "tests/support/test_databases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace lumvik::testing {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class AutoStation : public ::testing::Test {
  protected:
    void SetUp() override;

    // The settings file beside the program, or `file` when given.
    void writeSettingsFor(const std::string& source, const std::string& tempProduct,
                          const std::filesystem::path& file = {});
    // Copies sibling-standin beside the program as the three sibling programs.
    void addSiblings();

    // `environment` goes before the program: "NAME=value ...". The program is the copy in programDir;
    // it runs from workingDir, or from programDir when that is empty.
    Outcome runAuto(const std::string& arguments, const std::string& environment = "");

    TestDatabases dbs;
    std::filesystem::path programDir = dbs.dir.path();
    std::filesystem::path workingDir;
    std::unique_ptr<db::Connection> erp, store;
};

}  // namespace lumvik::testing
