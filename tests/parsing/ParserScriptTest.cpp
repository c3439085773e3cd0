#include "parsing/ParserScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace tessaly {
namespace {

// Runs a script given as lines; keeps the parser for looking at cursor and content.
struct Script {
    TParserScript p;
    std::string Run(const TStrings& lines, const std::string& text) { return p.Run(lines, text); }
};

// ---------------------------------------------------------------------------
// Statement syntax

TEST(ScriptSyntax, NameArgumentsAndTheUnreadLastCharacter) {
    auto st = ParseScriptLine("Go(After, \"x\");");
    EXPECT_EQ(st.name, "Go");
    EXPECT_EQ(st.arguments, (std::vector<std::string>{"After", "\"x\""}));
    // The final ")" is the unread last character: the only argument is lost.
    EXPECT_TRUE(ParseScriptLine("Get(All)").arguments.empty());
    EXPECT_EQ(ParseScriptLine("Get(All);").arguments, (std::vector<std::string>{"All"}));
    // Two arguments and no ";": the last one is lost, the first survives.
    EXPECT_EQ(ParseScriptLine("Get(All, Backward)").arguments, (std::vector<std::string>{"All"}));
}

TEST(ScriptSyntax, BlanksVanishOutsideQuotesExceptRightAfterTheParen) {
    EXPECT_EQ(ParseScriptLine("Go( After, \"a b\");").arguments,
              (std::vector<std::string>{" After", "\"a b\""}));
    EXPECT_EQ(ParseScriptLine("Go(A  ,  B ;; );").arguments, (std::vector<std::string>{"A", "B"}));
}

TEST(ScriptSyntax, QuotesDoubledAndMixed) {
    // "" inside double quotes is one double quote.
    EXPECT_EQ(ParseScriptLine("Add(\"a\"\"b\");").arguments,
              (std::vector<std::string>{"\"a\"b\""}));
    // Two single quotes inside double quotes give one single quote...
    EXPECT_EQ(ParseScriptLine("Add(\"it''s\");").arguments, (std::vector<std::string>{"\"it's\""}));
    // ...while a lone single quote ends the quoted part: the "," then separates.
    EXPECT_EQ(ParseScriptLine("Add(\"a'b,c\");").arguments, (std::vector<std::string>{"\"a'b"}));
}

TEST(ScriptSyntax, LinesWithoutParenOrWithGarbage) {
    auto st = ParseScriptLine("no paren, here);");
    EXPECT_EQ(st.name, "");
    EXPECT_EQ(st.arguments, (std::vector<std::string>{"noparen", "here"}));
    EXPECT_TRUE(ParseScriptLine("").arguments.empty());
    EXPECT_TRUE(ParseScriptLine("(").arguments.empty());
    // An unbalanced quote swallows the rest of the line.
    EXPECT_TRUE(ParseScriptLine("Add(\"abc);").arguments.empty());
    // Characters after the closing ")" that never reach a separator are dropped.
    EXPECT_EQ(ParseScriptLine("Get(All) trailing;").arguments, (std::vector<std::string>{"All"}));
}

// ---------------------------------------------------------------------------
// GO

TEST(ScriptGo, ForwardSearchIsInclusiveAndAfterMovesPast) {
    Script s;
    s.Run({"Go(\"x\");", "Go(\"x\");"}, "abxcx");
    EXPECT_EQ(s.p.CursorPosition(), 3);
    s.Run({"Go(After, \"x\");", "Go(After, \"x\");"}, "abxcx");
    EXPECT_EQ(s.p.CursorPosition(), 6);
}

TEST(ScriptGo, BlankBeforeTheWordKeepsTheDefault) {
    Script s;
    s.Run({"Go( After, \"x\");"}, "abx");
    EXPECT_EQ(s.p.CursorPosition(), 3);  // BEGIN: " After" is no word
}

TEST(ScriptGo, EarliestStartWinsWhateverTheOrderOfStrings) {
    Script s;
    EXPECT_EQ(s.Run({"Go(Before, \"a\", \"b\");", "Get(All);"}, "xxbxa"), "bxa");
    // Equal starts: the string given first wins, which matters for AFTER.
    s.Run({"Go(After, \"ab\", \"abc\");"}, "zabcd");
    EXPECT_EQ(s.p.CursorPosition(), 4);
    s.Run({"Go(After, \"abc\", \"ab\");"}, "zabcd");
    EXPECT_EQ(s.p.CursorPosition(), 5);
}

TEST(ScriptGo, BackwardLooksOnlyBeforeTheCursor) {
    Script s;
    // Cursor after "abx" (position 4); "x" directly before it: AFTER leaves it there.
    s.Run({"Go(4);", "Go(Backward, After, \"x\");"}, "abxyx");
    EXPECT_EQ(s.p.CursorPosition(), 4);
    s.Run({"Go(4);", "Go(Backward, \"x\");"}, "abxyx");
    EXPECT_EQ(s.p.CursorPosition(), 3);
    // The "x" at the cursor itself is not before it.
    EXPECT_EQ(s.Run({"Go(3);", "Go(Backward, \"x\");", "Add(\"found\");"}, "abxyx"), "");
    // Multi-character strings match in text order, nearest the cursor first.
    s.Run({"Go(End);", "Go(Backward, \"ab\");"}, "ab--ab--");
    EXPECT_EQ(s.p.CursorPosition(), 5);
}

TEST(ScriptGo, OccurrenceNumbers) {
    Script s;
    s.Run({"Go(#2, \"ab\");"}, "abab");
    EXPECT_EQ(s.p.CursorPosition(), 3);
    EXPECT_EQ(s.Run({"Go(#3, \"ab\");", "Add(\"x\");"}, "abab"), "");
    EXPECT_EQ(s.Run({"Add(\"x\");", "Go(#3, \"ab\", Optionnal);", "Add(\"y\");"}, "abab"), "xy");
    EXPECT_EQ(s.p.CursorPosition(), 1);
    // Counted across strings, without overlaps: a, b, a.
    s.Run({"Go(#3, \"b\", \"a\");"}, "xabab");
    EXPECT_EQ(s.p.CursorPosition(), 4);
    EXPECT_EQ(s.Run({"Go(#-1, \"a\");", "Add(\"x\");"}, "aaa"), "");
    // Not a number counts as 0: no occurrence number, the plain FIRST search.
    s.Run({"Go(#zz, \"b\");"}, "abab");
    EXPECT_EQ(s.p.CursorPosition(), 2);
}

TEST(ScriptGo, LastDoesNotSeeOverlaps) {
    Script s;
    s.Run({"Go(Last, \"aa\");"}, "aaa");
    EXPECT_EQ(s.p.CursorPosition(), 1);
    s.Run({"Go(Last, \"a\", \"b\");"}, "abab");
    EXPECT_EQ(s.p.CursorPosition(), 4);
    s.Run({"Go(End);", "Go(Last, Backward, \"a\");"}, "abab");
    EXPECT_EQ(s.p.CursorPosition(), 1);
}

TEST(ScriptGo, SearchStringHoldingTheMarkCharacterStillEnds) {
    Script s;
    const std::string mark = "\xa4";
    s.Run({"Go(Last, \"" + mark + mark + "\");"}, "x" + mark + mark + mark + mark);
    EXPECT_GE(s.p.CursorPosition(), 2);
    EXPECT_EQ(s.Run({"Go(#5, \"" + mark + "\");", "Get(All);"}, std::string(8, '\xa4')),
              std::string(4, '\xa4'));
}

TEST(ScriptGo, IgnoreCaseFoldsOnlyAtoZ) {
    Script s;
    EXPECT_EQ(s.Run({"Go(\"TITLE\", IgnoreCase);", "Get(5);"}, "<b>title</b>"), "title");
    EXPECT_EQ(s.Run({"Go(\"\xc9T\xc9\", IgnoreCase);", "Add(\"x\");"}, "\xe9t\xe9"), "");
    EXPECT_EQ(s.Run({"Go(\"Title\");", "Add(\"x\");"}, "title"), "");  // CHECKCASE default
}

TEST(ScriptGo, MovesClampAndEndAlwaysSucceeds) {
    Script s;
    s.Run({"Go(-1000);"}, "abc");
    EXPECT_EQ(s.p.CursorPosition(), 0);
    s.Run({"Go(+1000);"}, "abc");
    EXPECT_EQ(s.p.CursorPosition(), 4);
    s.Run({"Go(2);", "Go(+1);"}, "abcdef");
    EXPECT_EQ(s.p.CursorPosition(), 3);
    EXPECT_EQ(s.Run({"Go(\"zz\", End);", "Add(\"ok\");"}, "abc"), "ok");
    EXPECT_EQ(s.p.CursorPosition(), 4);
    // Offsets are ignored when a string is given.
    s.Run({"Go(+2, \"c\");"}, "abcabc");
    EXPECT_EQ(s.p.CursorPosition(), 3);
    // Cursor 0 works as 1.
    EXPECT_EQ(s.Run({"Go(0);", "Get(2);"}, "abc"), "ab");
}

TEST(ScriptGo, FailedSearchEndsTheRunWithEmptyOutput) {
    Script s;
    EXPECT_EQ(s.Run({"Add(\"before\");", "Go(\"nothere\");", "Add(\"after\");"}, "abc"), "");
    EXPECT_EQ(s.Run({"Go(\"\");", "Add(\"x\");"}, "abc"), "");  // the empty string is never found
    // "Before" is no word: ignored, the default BEGIN applies.
    EXPECT_EQ(s.Run({"Go(Before, \"b\");", "Get(All);"}, "abc"), "bc");
}

// ---------------------------------------------------------------------------
// GET and CUT

TEST(ScriptGetCut, CountsMustBeTwoOrMore) {
    Script s;
    EXPECT_EQ(s.Run({"Go(2);", "Get(1);", "Get(0);"}, "abcd"), "");
    EXPECT_EQ(s.Run({"Get(2, Backward);"}, "abcd"), "ab");  // from position 1 past the cursor
    EXPECT_EQ(s.Run({"Go(4);", "Get(2, Backward);"}, "abcdef"), "bc");
    EXPECT_EQ(s.Run({"Go(3);", "Get(All, Backward);", "Add(\"|\");", "Get(All);"}, "abcd"),
              "ab|cd");
    EXPECT_EQ(s.Run({"Go(3);", "Get(10);"}, "abcd"), "cd");
    s.Run({"Go(2);", "Cut(1);"}, "abcd");
    EXPECT_EQ(s.p.Content(), "abcd");
}

TEST(ScriptGetCut, CutMovesTheCursorOnlyBackward) {
    Script s;
    s.Run({"Go(3);", "Cut(All, Backward);"}, "abcdef");
    EXPECT_EQ(s.p.Content(), "cdef");
    EXPECT_EQ(s.p.CursorPosition(), 1);
    s.Run({"Go(3);", "Cut(2);"}, "abcdef");
    EXPECT_EQ(s.p.Content(), "abef");
    EXPECT_EQ(s.p.CursorPosition(), 3);
    s.Run({"Go(5);", "Cut(2, Backward);"}, "abcdef");
    EXPECT_EQ(s.p.Content(), "abef");
    EXPECT_EQ(s.p.CursorPosition(), 3);
    // Start below 1: nothing deleted, the cursor still falls back to 1.
    s.Run({"Go(2);", "Cut(5, Backward);"}, "abcdef");
    EXPECT_EQ(s.p.Content(), "abcdef");
    EXPECT_EQ(s.p.CursorPosition(), 1);
    s.Run({"Go(3);", "Cut(All);"}, "abcdef");
    EXPECT_EQ(s.p.Content(), "ab");
}

TEST(ScriptAdd, AppendsTheStringValue) {
    Script s;
    EXPECT_EQ(s.Run({"Add(\"a, b\");", "Add('c');"}, "zzz"), "a, bc");
    EXPECT_EQ(s.p.Content(), "zzz");
}

// ---------------------------------------------------------------------------
// REPLACE and DELETE

TEST(ScriptReplace, AllForwardFromTheCursor) {
    Script s;
    s.Run({"Go(3);", "Replace(\"a\", \"b\");"}, "aaaa");
    EXPECT_EQ(s.p.Content(), "aabb");
    s.Run({"Replace(\"a\", \"aa\");"}, "aXa");
    EXPECT_EQ(s.p.Content(), "aaXaa");  // the inserted text is not scanned again
    s.Run({"Replace(\"x\", \"-\", IgnoreCase);"}, "XxX");
    EXPECT_EQ(s.p.Content(), "---");
}

TEST(ScriptReplace, FirstLastAndOccurrence) {
    Script s;
    s.Run({"Replace(\"a\", \"b\", First);"}, "aaa");
    EXPECT_EQ(s.p.Content(), "baa");
    s.Run({"Replace(\"a\", \"b\", Last);"}, "aaa");
    EXPECT_EQ(s.p.Content(), "aab");
    s.Run({"Replace(\"aa\", \"b\", Last);"}, "aaa");
    EXPECT_EQ(s.p.Content(), "ba");  // overlaps unseen: the last is at 1
    s.Run({"Replace(\"a\", \"b\", #2);"}, "aaa");
    EXPECT_EQ(s.p.Content(), "aba");
    s.Run({"Replace(\"a\", \"b\", #4);"}, "aaa");
    EXPECT_EQ(s.p.Content(), "aaa");
    s.Run({"Replace(\"a\", \"b\", #-1);"}, "aaa");
    EXPECT_EQ(s.p.Content(), "aaa");
}

TEST(ScriptReplace, BackwardShiftsTheCursorByTheChange) {
    Script s;
    s.Run({"Go(4);", "Replace(\"a\", \"xyz\", Backward);"}, "aaaa");
    EXPECT_EQ(s.p.Content(), "xyzxyzxyza");
    EXPECT_EQ(s.p.CursorPosition(), 10);
    EXPECT_EQ(s.Run({"Go(4);", "Replace(\"abc\", \"\", Backward);", "Get(All);"}, "abcd"), "d");
    EXPECT_EQ(s.p.CursorPosition(), 1);
    // Backward FIRST is the occurrence nearest the cursor.
    s.Run({"Go(End);", "Replace(\"ab\", \"X\", First, Backward);"}, "abab");
    EXPECT_EQ(s.p.Content(), "abX");
}

TEST(ScriptReplace, OutWorksOnTheOutputFromTheCursor) {
    Script s;
    EXPECT_EQ(s.Run({"Add(\"aaaa\");", "Go(3);", "Replace(\"a\", \"b\", Out);"}, "xxxxxx"), "aabb");
    EXPECT_EQ(s.p.Content(), "xxxxxx");
    EXPECT_EQ(s.Run({"Add(\"aa\");", "Go(5);", "Replace(\"a\", \"b\", Out);"}, "xxxxxx"), "aa");
}

TEST(ScriptReplace, StringsAndDelete) {
    Script s;
    s.Run({"Replace(\"\", \"a\", \"b\");"}, "abc");  // empty first string: "a" becomes the search
    EXPECT_EQ(s.p.Content(), "bbc");
    s.Run({"Replace(\"a\", \"b\", \"c\");"}, "abc");  // the last replacement wins
    EXPECT_EQ(s.p.Content(), "cbc");
    s.Run({"Delete(\"x\", \"y\");"}, "axbxc");
    EXPECT_EQ(s.p.Content(), "abc");
    s.Run({"Replace(\"a\");"}, "abc");
    EXPECT_EQ(s.p.Content(), "bc");
    s.Run({"Replace(, , \"a\", , \"z\");"}, "abc");  // empty arguments are ignored
    EXPECT_EQ(s.p.Content(), "zbc");
}

// ---------------------------------------------------------------------------
// Runs

TEST(ScriptRun, UnknownStatementsAndCaseInsensitiveNames) {
    Script s;
    EXPECT_EQ(s.Run({"Frobnicate(\"x\");", "aDd(\"ok\");", " Add(\"no\");"}, "t"), "ok");
}

TEST(ScriptRun, FormActionWorkedExample) {
    Script s;
    const std::string page = "<form ACTION=\"/cgi/search\" METHOD=POST>";
    EXPECT_EQ(s.Run({"Go(After, \"ACTION=\", IgnoreCase);", "Cut(All, Backward);",
                     "Go(Before, \" \", \">\");", "Get(All, Backward);"},
                    page),
              "\"/cgi/search\"");
    EXPECT_EQ(s.p.CursorPosition(), 14);
}

TEST(ScriptRun, RepeatedCutsInputFieldsInFormOrder) {
    Script s;
    const TStrings script = {"Go(Before, \"<INPUT\", IgnoreCase);", "Cut(All, Backward);",
                             "Go(After, \">\");", "Get(All, Backward);", "Cut(All, Backward);"};
    const auto blocks = s.p.RunRepeated(
        script, "<form><input name=a><b>x</b><INPUT name=b type=submit><Input name=c></form>");
    EXPECT_EQ(blocks, (TStrings{"<input name=a>", "<INPUT name=b type=submit>", "<Input name=c>"}));
    EXPECT_EQ(s.p.Content(), "</form>");
}

TEST(ScriptRun, RepeatedDropsARunThatConsumedNothing) {
    Script s;
    EXPECT_TRUE(s.p.RunRepeated({"Get(All);"}, "abc").empty());
    EXPECT_TRUE(s.p.RunRepeated({"Go(\"x\");", "Get(All);"}, "abc").empty());
}

// Only a shorter content is progress: a run that keeps or lengthens it ends the
// repetition (a script that lengthens the content would otherwise repeat for ever).
TEST(ScriptRun, RepeatedStopsAtTheFirstRunThatDoesNotShortenTheContent) {
    const TStrings cutOne = {"Go(After, \";\");", "Get(All, Backward);", "Cut(All, Backward);"};
    struct {
        TStrings script;
        const char* text;
        TStrings blocks;
    } cases[] = {
        {{"Replace(\"/job\", \"h/job\");", "Get(All);"}, "a /job", {}},
        {{"Replace(\"a\", \"aa\");", "Get(2);", "Cut(1);"}, "abc", {}},
        {{"Replace(\"a\", \"aa\");", cutOne[0], cutOne[1], cutOne[2]},
         "a;b;c;",
         {"aa;", "b;", "c;"}},
        {{"Get(2);", "Cut(2);"}, "abcde", {"ab", "cd", "e"}},
    };
    for (const auto& c : cases) {
        Script s;
        // A guard, so that a repetition that does not end fails instead of filling memory.
        int statements = 0;
        s.p.KeepGoing = [&] { return ++statements < 10000; };
        EXPECT_EQ(s.p.RunRepeated(c.script, c.text), c.blocks) << c.text;
        EXPECT_FALSE(s.p.Stopped()) << c.text;
    }
}

TEST(ScriptRun, RepeatedKeepsAtMostTheOutputsAskedFor) {
    Script s;
    const TStrings script = {"Get(2);", "Cut(2);"};
    EXPECT_EQ(s.p.RunRepeated(script, "abcdef", 2), (TStrings{"ab", "cd"}));
    EXPECT_EQ(s.p.Content(), "ef");
    EXPECT_TRUE(s.p.RunRepeated(script, "abcdef", 0).empty());
}

// The caller's KeepGoing is asked after every statement; a "no" ends the run with an
// empty output and the repetition with what it has.
TEST(ScriptRun, KeepGoingEndsRunsAndRepetitionEarly) {
    Script s;
    int asked = 0;
    s.p.KeepGoing = [&] { return ++asked < 5; };
    const TStrings script = {"Get(2);", "Cut(2);"};
    EXPECT_EQ(s.p.RunRepeated(script, "abcdefgh"), (TStrings{"ab", "cd"}));
    EXPECT_TRUE(s.p.Stopped());
    EXPECT_EQ(asked, 5);
    s.p.KeepGoing = nullptr;
    EXPECT_EQ(s.Run({"Add(\"a\");", "Add(\"b\");"}, "x"), "ab");
    EXPECT_FALSE(s.p.Stopped());
}

TEST(ScriptRun, TraceSeesEveryExecutedLineIncludingTheFailingGo) {
    Script s;
    std::vector<std::pair<int, int32_t>> seen;
    s.p.OnTrace = [&](TParserScript&, int line, int32_t cursor, std::string_view) {
        seen.emplace_back(line, cursor);
    };
    s.Run({"Go(2);", "Unknown(\"a\");", "Add();", "Go(\"q\");", "Add(\"never\");"}, "abc");
    EXPECT_EQ(seen, (std::vector<std::pair<int, int32_t>>{{0, 2}, {2, 2}, {3, 2}}));
}

TEST(ScriptRun, TheLoopIsLeftToTheCaller) {
    // A run never processes messages itself: whoever owns the loop does so in KeepGoing.
    TBasicMainLoop loop;
    TMainLoop::SetCurrent(&loop);
    int ran = 0;
    loop.Post([&] { ++ran; });
    Script s;
    s.Run({"Add(\"a\");", "Add(\"b\");"}, "x");
    EXPECT_EQ(ran, 0);
    TMainLoop::SetCurrent(nullptr);
}

TEST(ScriptRun, HostileInputNeverCrashes) {
    Script s;
    std::string text("a\0b\xff\x80\"'", 7);
    TStrings lines;
    for (int i = 0; i < 100000; ++i)
        lines.push_back(i % 2 ? "Go(+1);" : "Get(2);");
    lines.push_back(std::string("Go(\"\0\");", 8));
    EXPECT_EQ(s.Run(lines, text), "");  // NUL not found after the last move: the run fails
    EXPECT_EQ(s.Run({std::string("Go(\"\0b\");", 9), "Get(All);"}, text), text.substr(1));
    for (const char* l : {"Go(\"", "Replace(\"", "Cut(All, Backward", "((((", "\"\"\"\";", ",,,);"})
        EXPECT_NO_THROW(s.p.RunRepeated({l, l}, text));
}

// Running over a borrowed text must give what a run over a copy gives, whether the script
// cuts the ends, the middle or replaces, and leave the text itself alone.
TEST(ScriptRun, RunOverMatchesRunWithoutTouchingTheText) {
    const std::string text = "{\"a\":\"x1\",\"b\":{\"c\":\"y2\"},\"d\":\"z3 tail\"}";
    const std::vector<TStrings> scripts = {
        {"Go(After, \"\"\"b\"\":{\");", "Cut(All, Backward);", "Go(Begin, \"}\");",
         "Cut(All, Forward);", "Go(1);", "Get(All);"},
        {"Go(After, \"x\");", "Cut(3);", "Go(1);", "Get(All);"},
        {"Go(After, \"y\");", "Cut(4, Backward);", "Go(1);", "Get(All);"},
        {"Go(After, \"d\");", "Cut(All, Backward);", "Replace(All, \"z\", \"Z\");", "Go(1);",
         "Get(All);"},
        {"Go(After, \"tail\");", "Cut(All, Forward);", "Go(+100);", "Get(All, Backward);"},
        {"Go(After, \"absent\");", "Get(All);"},
    };
    TParserScript over;
    for (const auto& script : scripts) {
        Script copy;
        const std::string want = copy.Run(script, text);
        EXPECT_EQ(over.RunOver(ParseScript(script), text), want) << script[0];
        EXPECT_EQ(over.FailedLine(), copy.p.FailedLine()) << script[0];
        EXPECT_EQ(over.Content(), "");
    }
    EXPECT_EQ(text, "{\"a\":\"x1\",\"b\":{\"c\":\"y2\"},\"d\":\"z3 tail\"}");
}

}  // namespace
}  // namespace tessaly

namespace tessaly {
namespace {

TEST(ScriptGo, IgnoreCaseInBothDirectionsAndEveryMode) {
    TParserScript p;
    p.Run({"Go(End);", "Go(Backward, \"AB\", IgnoreCase);"}, "ab-Ab-x");
    EXPECT_EQ(p.CursorPosition(), 4);
    p.Run({"Go(End);", "Go(Backward, After, \"B-\", IgnoreCase);"}, "ab-Ab-x");
    EXPECT_EQ(p.CursorPosition(), 7);  // just after the match, on "x"
    p.Run({"Go(#2, \"aB\", IgnoreCase);"}, "ab-Ab-x");
    EXPECT_EQ(p.CursorPosition(), 4);
    p.Run({"Go(Last, \"AB\", IgnoreCase);"}, "ab-Ab-x");
    EXPECT_EQ(p.CursorPosition(), 4);
    p.Run({"Go(End);", "Go(#2, Backward, \"ab\", IgnoreCase);"}, "ab-Ab-x");
    EXPECT_EQ(p.CursorPosition(), 1);
}

}  // namespace
}  // namespace tessaly
