#pragma once

#include "app/MainForm.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trawlmeter::testing {

// A stored visit: column name to text; a column left NULL is absent.
using Visit = std::map<std::string, std::string>;

// A program folder with a fresh visit database and an empty work folder, and a loaded form.
class ScanFixture : public ::testing::Test {
protected:
    ScanFixture();

    void writeChunk(std::string_view name, std::string_view content) const;
    // The records of a table in the order they were stored, read through a connection of
    // its own, so only what the form committed is seen.
    std::vector<Visit> visits(std::string_view table) const;
    // The six counters as "Baidu Google Yahoo Sogou Msn / All".
    std::string counters() const;

    TestFolder folder;
    FakePlatform platform;
    std::unique_ptr<MainForm> form;
};

} // namespace trawlmeter::testing
