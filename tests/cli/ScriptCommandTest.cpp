#include <gtest/gtest.h>

#include <sstream>

#include "cli/Command.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

struct Captured {
    std::ostringstream out, err;
    int status = 0;
};

Captured RunArgs(const std::vector<std::string>& argv) {
    Captured c;
    TCliIO io{c.out, c.err};
    c.status = RunCli(argv, io);
    return c;
}

class ScriptCommandTest : public ::testing::Test {
  protected:
    test::TTempDir dir;
    std::string script = dir.File("s.script");
    std::string text = dir.File("page.html");
    void SetUp() override {
        WriteFileBytes(script,
                       "Go(Begin, \"<li>\");\r\nCut(All, Backward);\nGo(After, \"</li>\");\n"
                       "Get(All, Backward);\nCut(All, Backward);\n");
        WriteFileBytes(text, std::string("<ul><li>a\xe9</li><li>b\0</li></ul>", 31));
    }
};

TEST_F(ScriptCommandTest, RunWritesTheOutputBytesExactly) {
    auto c = RunArgs({"script", "run", script, text});
    EXPECT_EQ(c.status, kExitOk);
    EXPECT_EQ(c.out.str(), "<li>a\xe9</li>");
}

TEST_F(ScriptCommandTest, RepeatedSeparatesOutputs) {
    auto c = RunArgs({"script", "run", script, text, "--repeated"});
    EXPECT_EQ(c.out.str(), std::string("<li>a\xe9</li>\n----\n<li>b\0</li>\n----\n", 34));
}

TEST_F(ScriptCommandTest, JsonHoldsBytesAsCodePoints) {
    auto c = RunArgs({"script", "run", script, text, "--json"});
    EXPECT_EQ(c.out.str(),
              "{\"output\": \"<li>a\xc3\xa9</li>\", \"content\": \"<li>b\\u0000</li></ul>\", "
              "\"cursor\": 1}\n");
    c = RunArgs({"script", "run", script, text, "--json", "--repeated"});
    EXPECT_EQ(c.out.str(),
              "{\"outputs\": [\"<li>a\xc3\xa9</li>\", \"<li>b\\u0000</li>\"], \"content\": "
              "\"</ul>\"}\n");
}

TEST_F(ScriptCommandTest, TraceGoesToStandardError) {
    auto c = RunArgs({"script", "run", script, text, "--trace"});
    EXPECT_EQ(c.err.str().substr(0, 20), "0 5 <li>a\xe9</li><li>b");
}

TEST_F(ScriptCommandTest, BadUsageAndMissingFiles) {
    auto c = RunArgs({"script", "run", script});
    EXPECT_EQ(c.status, kExitUsage);
    c = RunArgs({"script", "run", dir.File("missing"), text});
    EXPECT_EQ(c.status, kExitUsage);
    EXPECT_NE(c.err.str().find("missing"), std::string::npos);
    c = RunArgs({"script", "run", script, text, "--bogus"});
    EXPECT_EQ(c.status, kExitUsage);
    EXPECT_NE(c.err.str().find("--bogus"), std::string::npos);
    c = RunArgs({"script", "run", "--help"});
    EXPECT_EQ(c.status, kExitOk);
    EXPECT_NE(c.out.str().find("Usage: tessaly script run"), std::string::npos);
    c = RunArgs({"nonsense"});
    EXPECT_EQ(c.status, kExitUsage);
}

}  // namespace
}  // namespace tessaly::cli
