#include <gtest/gtest.h>

#include <sstream>

#include "cli/Command.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

struct TRun {
    int status;
    std::string out, err;
};

TRun RunCommand(const std::vector<std::string>& argv) {
    std::ostringstream out, err;
    TCliIO io{out, err};
    const int status = RunCli(argv, io);
    return {status, out.str(), err.str()};
}

TEST(ContainerCommand, PacksListsAndUnpacks) {
    test::TTempDir dir;
    std::string text;
    for (int i = 0; i < 500; ++i)
        text += "line " + std::to_string(i % 37) + "\r\n";
    WriteFileBytes(dir.File("table.txt"), text);
    auto pack = RunCommand({"container", "pack", dir.File("t.tj"), dir.File("table.txt")});
    ASSERT_EQ(pack.status, kExitOk) << pack.err;
    EXPECT_NE(pack.out.find("\tLH5\n"), std::string::npos);

    auto list = RunCommand({"container", "list", dir.File("t.tj")});
    ASSERT_EQ(list.status, kExitOk) << list.err;
    EXPECT_NE(list.out.find("\t" + std::to_string(text.size()) + "\t"), std::string::npos);

    auto unpack = RunCommand({"container", "unpack", dir.File("t.tj"), "--to", dir.File("out")});
    ASSERT_EQ(unpack.status, kExitOk) << unpack.err;
    // The member is named by its full path without the leading "/": it lands below --to.
    const std::string written = unpack.out.substr(0, unpack.out.size() - 1);
    EXPECT_EQ(written.rfind(dir.File("out"), 0), 0u);
    EXPECT_EQ(ReadFileBytes(written), text);

    auto stored = RunCommand(
        {"container", "pack", dir.File("s.tj"), dir.File("table.txt"), "--method", "NON"});
    EXPECT_NE(stored.out.find("\tNON\n"), std::string::npos);
}

TEST(ContainerCommand, ReportsBadInput) {
    test::TTempDir dir;
    WriteFileBytes(dir.File("plain.txt"), std::string(100, 'x'));
    auto list = RunCommand({"container", "list", dir.File("plain.txt")});
    EXPECT_EQ(list.status, kExitUsage);
    EXPECT_NE(list.err.find("Can't recognize compressed file header"), std::string::npos);
    EXPECT_EQ(RunCommand({"container", "pack", dir.File("o"), dir.File("none")}).status,
              kExitUsage);
    EXPECT_EQ(
        RunCommand({"container", "pack", dir.File("o"), dir.File("plain.txt"), "--method", "ZIP"})
            .status,
        kExitUsage);
    EXPECT_EQ(RunCommand({"container", "unpack"}).status, kExitUsage);
}

}  // namespace
}  // namespace tessaly::cli
