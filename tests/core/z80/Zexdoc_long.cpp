#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using velmar::testing::RunCommand;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line.push_back(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Zexdoc, AllSixtySevenTestsPass) {
    int status = 0;
    const std::string out = RunCommand(std::string("\"") + VELMAR_CLI + "\" cpm \"" +
                                           VELMAR_SHARED_TESTROMS + "/zexdoc.com\"",
                                       &status);
    EXPECT_EQ(status, 0);
    int ok = 0;
    bool complete = false;
    bool timing = false;
    for (const std::string& line : Lines(out)) {
        if (EndsWith(line, "OK")) ++ok;
        if (line.find("Tests complete") != std::string::npos) complete = true;
        if (line.rfind("T-states: ", 0) == 0 && line.find("  MHz: ") != std::string::npos)
            timing = true;
    }
    EXPECT_EQ(ok, 67) << out;
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_TRUE(complete) << out;
    EXPECT_TRUE(timing) << out;
}

TEST(Zexdoc, CpmCommandRefusesBadInput) {
    int status = 0;
    const std::string cli = std::string("\"") + VELMAR_CLI + "\" cpm ";
    RunCommand(cli + "/nonexistent/file.com 2>/dev/null", &status);
    EXPECT_NE(status, 0);
    RunCommand(cli + "/dev/null 2>/dev/null", &status);
    EXPECT_NE(status, 0);
    RunCommand(cli + "2>/dev/null", &status);
    EXPECT_NE(status, 0);
}

} // namespace
