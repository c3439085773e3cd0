#include "parsing/ScriptCheck.h"

#include <gtest/gtest.h>

#include "parsing/ParserScript.h"

namespace tessaly {
namespace {

// The one finding of a line, or a failure naming them all.
std::string Only(std::string_view line) {
    const auto found = CheckScriptLine(line);
    EXPECT_EQ(found.size(), 1u) << line << ": " << Join(found, " | ");
    return found.empty() ? std::string() : found.front();
}

bool Says(std::string_view line, std::string_view piece) {
    for (const auto& f : CheckScriptLine(line))
        if (f.find(piece) != std::string::npos) return true;
    return false;
}

TEST(ScriptCheck, CleanStatementsHaveNoFindings) {
    for (const char* line :
         {"Go(After, \"<td>\", #2, IgnoreCase);", "go(backward, after, 'x');", "Go(End);",
          "Go(-3);", "Go(12);", "Go(\"a\", \"b\", Last, Optionnal);", "Get(All, Backward);",
          "Cut(25);", "Add(\"http://h\");", "Replace(\"a\", \"b\", Out, #2, Backward);",
          "Delete(\"<b>\", IgnoreCase, First);", "Go(Begin, \"class=\"\"job\"\"\");",
          "Go(Begin, '\"\"');", "", "   "})
        EXPECT_TRUE(CheckScriptLine(line).empty()) << line << ": " << Only(line);
}

TEST(ScriptCheck, SkippedStatements) {
    EXPECT_NE(Only("Foo(1);").find("unknown statement 'Foo'"), std::string::npos);
    EXPECT_NE(Only("Goo(After, \"x\");").find("did you mean GO?"), std::string::npos);
    EXPECT_NE(Only(" Go(After, \"x\");").find("blank before the statement name"),
              std::string::npos);
    EXPECT_NE(Only("Get All;").find("no '('"), std::string::npos);
    // The only argument is the unread last character's victim.
    EXPECT_NE(Only("Get(All)").find("only argument is lost"), std::string::npos);
    EXPECT_NE(Only("Add('x);").find("unbalanced quotes"), std::string::npos);
}

// A quote that ends a string right before a letter or "=" was meant to stand inside it.
TEST(ScriptCheck, AQuoteThatEndsAStringEarlySaysHowToWriteIt) {
    const std::string twice =
        " ends the string early: a quote inside a string is written twice (\"\" or '')";
    const std::string runs =
        "; the quotes are then unbalanced, so the arguments run to the end of the line";
    const std::pair<const char*, std::string> cases[] = {
        {"Go(After, \"data-automation=\"jobTitle\"\");", "the \" before 'jobTitle'" + twice},
        {"Go(After, \"x\"=\"y\");", "the \" before '='" + twice},
        {"Go(\"it's\");", "the ' before 's'" + twice + runs},
        {"Add('say \"hi');", "the \" before 'hi'" + twice + runs},
    };
    for (const auto& [line, says] : cases)
        EXPECT_EQ(Only(line), says) << line;
    for (const char* line : {"Go(After, \"it''s\");", "Go(\"a\", \"b\");", "Replace('a', \"b\");"})
        EXPECT_TRUE(CheckScriptLine(line).empty()) << line << ": " << Only(line);
}

TEST(ScriptCheck, OptionsThatDoNotExistOrBelongElsewhere) {
    EXPECT_NE(Only("Go(Before, \"x\");").find("there is no BEFORE"), std::string::npos);
    EXPECT_NE(Only("Go(Conditional, \"x\");").find("did you mean CONDITIONNAL?"),
              std::string::npos);
    EXPECT_NE(Only("Get(All, Backwards);").find("did you mean BACKWARD?"), std::string::npos);
    EXPECT_NE(Only("Go(Out, \"x\");").find("option Out does not exist for GO"), std::string::npos);
    EXPECT_NE(Only("Replace(\"a\", \"b\", After);").find("After does not exist for REPLACE"),
              std::string::npos);
    EXPECT_NE(Only("Get(1);").find("2 or more"), std::string::npos);
    EXPECT_NE(Only("Cut(+3);").find("does not exist for CUT"), std::string::npos);
    EXPECT_NE(Only("Go(#x, \"a\");").find("counts as 0"), std::string::npos);
    EXPECT_NE(Only("Go( After, \"x\");").find("begins with a blank"), std::string::npos);
    EXPECT_NE(Only("Get(\"x\", All);").find("GET takes no string"), std::string::npos);
    EXPECT_TRUE(Says("Go(\"\");", "never found"));
    EXPECT_TRUE(Says("Go(Begin, \"\"\"\");", "never found"));  // the pair is the opening
    EXPECT_TRUE(Says("Go(Begin);", "does nothing"));
    EXPECT_TRUE(Says("Go(#2);", "finds nothing and fails"));
    EXPECT_TRUE(Says("Replace(All);", "does nothing"));
    EXPECT_TRUE(Says("Add(All);", "needs a string"));
    EXPECT_TRUE(Says("Go(After, , \"x\");", "empty argument"));
    // Two statements run together on one line.
    EXPECT_TRUE(Says("Go(After, \"x\");Get(All);", "two statements"));
    // Two problems on one line are both said.
    EXPECT_EQ(CheckScriptLine("Go(Before, Afterwards, \"x\");").size(), 2u);
}

// Over many made-up lines: a line the checker passes is one the interpreter executes with
// a known name and the arguments it reads.
TEST(ScriptCheck, APassedLineIsOneThatRuns) {
    const std::string alphabet = "GoetCuAdRplcDa(),;\"' #+-12AllAfterBackwardx";
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    int passed = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string line = n % 2 ? "Go(" : "Get(";
        const size_t len = next() % 16;
        for (size_t i = 0; i < len; ++i)
            line += alphabet[next() % alphabet.size()];
        if (next() % 2) line += ");";
        if (!CheckScriptLine(line).empty()) continue;
        ++passed;
        const TScriptStatement st = ParseScriptLine(line);
        EXPECT_FALSE(st.arguments.empty()) << line;
        EXPECT_TRUE(st.name == "Go" || st.name == "Get") << line;
    }
    EXPECT_GT(passed, 50);  // the property was tried on lines that pass
}

TEST(ScriptCheck, WholeScriptsNameTheirLines) {
    const auto found = CheckScript({"Go(After, \"x\");", "Goto(\"y\");", "Get(All);", "Get(0);"});
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].line, 1);
    EXPECT_EQ(found[1].line, 3);
}

TEST(ScriptCheck, NearestWordIsCaseBlindAndOnlyForSlips) {
    const std::vector<std::string> keys = {"Enabled", "JobTitleScript", "Title"};
    EXPECT_EQ(NearestWord("Enabeld", keys), "Enabled");
    EXPECT_EQ(NearestWord("jobtitlescript", keys), "JobTitleScript");
    EXPECT_EQ(NearestWord("Mascot", keys), "");
    EXPECT_EQ(NearestWord("X", keys), "");
}

TEST(ScriptCheck, FailedLineNamesTheGoThatEndedTheRun) {
    TParserScript p;
    int tracedFailure = -2;
    p.OnTrace = [&](TParserScript& s, int line, int32_t, std::string_view) {
        if (s.FailedLine() == line) tracedFailure = line;
    };
    const TStrings script = {"Go(After, \"a\");", "Add(\"x\");", "Go(\"zz\");", "Get(All);"};
    EXPECT_EQ(p.Run(script, "abc"), "");
    EXPECT_EQ(p.FailedLine(), 2);
    EXPECT_EQ(tracedFailure, 2);  // the trace of the failing GO already knows it
    EXPECT_EQ(p.Run(script, "abczz"), "xzz");
    EXPECT_EQ(p.FailedLine(), -1);
    // Optionnal: a search that finds nothing is no failure.
    EXPECT_EQ(p.Run({"Go(\"q\", Optionnal);", "Get(2);"}, "abc"), "ab");
    EXPECT_EQ(p.FailedLine(), -1);
}

}  // namespace
}  // namespace tessaly
