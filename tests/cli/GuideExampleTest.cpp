// The guide for definition writers shows commands and what they print. This runs every
// command of its ```console blocks from the source tree and compares the output, so the
// guide cannot drift from the program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "data/VelaSources.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

struct TExample {
    int line = 0;  // of the guide, for the failure message
    std::vector<std::string> argv;
    int status = 0;
    bool mergeErr = false;  // "2>&1": standard error first, as the commands print it
    std::string expected;
};

// Splits a shell command line: blanks separate words, "..." and '...' group them.
std::vector<std::string> ShellWords(const std::string& s) {
    std::vector<std::string> words;
    std::string w;
    bool any = false;
    char quote = 0;
    for (char c : s) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                w += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            any = true;
        } else if (c == ' ') {
            if (any || !w.empty()) words.push_back(w);
            w.clear();
            any = false;
        } else {
            w += c;
        }
    }
    if (any || !w.empty()) words.push_back(w);
    return words;
}

std::string TrimLineEnds(const std::string& text) {
    std::string r;
    for (const auto& l : SplitLines(text))
        r += TrimRight(l) + "\n";
    return r;
}

std::vector<TExample> Examples(const std::string& guide) {
    std::vector<TExample> examples;
    bool inBlock = false;
    const TStrings lines = SplitLines(guide);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (!inBlock) {
            inBlock = l == "```console";
            continue;
        }
        if (l.rfind("```", 0) == 0) {
            inBlock = false;
            continue;
        }
        if (l.rfind("$ ", 0) != 0) {
            if (examples.empty())
                ADD_FAILURE() << "guide line " << i + 1 << ": output before $";
            else
                examples.back().expected += l + "\n";
            continue;
        }
        TExample e;
        e.line = static_cast<int>(i + 1);
        std::string command = l.substr(2);
        // "  # exit status N" states a status other than 0.
        if (const size_t hash = command.find("  # exit status "); hash != std::string::npos) {
            e.status = std::stoi(command.substr(hash + 16));
            command.resize(hash);
        }
        command = TrimRight(command);
        if (command.size() > 5 && command.compare(command.size() - 5, 5, " 2>&1") == 0) {
            e.mergeErr = true;
            command.resize(command.size() - 5);
        }
        e.argv = ShellWords(command);
        examples.push_back(std::move(e));
    }
    return examples;
}

class GuideExample : public ::testing::Test {
  protected:
    void SetUp() override {
        // The guide's paths are relative to the source tree.
        root_ = std::filesystem::path(test::FixturePath("")).parent_path().parent_path();
        if (root_.filename() == "tests") root_ = root_.parent_path();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_);
    }
    void TearDown() override { std::filesystem::current_path(previous_); }
    std::filesystem::path root_, previous_;
};

TEST_F(GuideExample, EveryCommandPrintsWhatTheGuideShows) {
    const std::string guide = ReadFileBytes("docs/definitions.md");
    const auto examples = Examples(guide);
    ASSERT_GE(examples.size(), 10u) << "the guide's examples were not found";
    for (const auto& e : examples) {
        ASSERT_FALSE(e.argv.empty());
        ASSERT_EQ(e.argv[0], "tessaly") << "guide line " << e.line;
        const std::vector<std::string> args(e.argv.begin() + 1, e.argv.end());
        auto run = test::RunArgs(args);
        const std::string got = (e.mergeErr ? run.err.str() : std::string()) + run.out.str();
        EXPECT_EQ(TrimLineEnds(got), TrimLineEnds(e.expected))
            << "guide line " << e.line << ": " << Join(args, " ") << "\nstderr: " << run.err.str();
        EXPECT_EQ(run.status, e.status) << "guide line " << e.line << ": " << Join(args, " ");
    }
}

// The example's readable file uses the UTF-8 form of the line-break mark, as a text
// editor saves it; scrambled, it must give the same sites.
TEST_F(GuideExample, TheExampleFileReadsTheSameScrambled) {
    test::TTempDir dir;
    const std::string def = dir.File("sources.def");
    auto enc = test::RunArgs({"defs", "encode", "docs/example/example.def", def});
    ASSERT_EQ(enc.status, kExitOk) << enc.err.str();
    auto plain = test::RunArgs({"defs", "show", "docs/example/example.def", "--json"});
    auto scrambled = test::RunArgs({"defs", "show", def, "--json"});
    EXPECT_EQ(plain.out.str(), scrambled.out.str());
    TVelaSourcesList list;
    list.LoadFromFile("docs/example/example.def");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0].JobBlockScript.size(), 5u);  // the UTF-8 mark broke the lines
    EXPECT_EQ(list[1].JobTitleScript.size(), 4u);
}

}  // namespace
}  // namespace tessaly::cli
