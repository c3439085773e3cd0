// `tessaly schedule`: the unit files it writes, what it asks systemctl (a stand-in that
// records its arguments), the lines it prints where no user manager answers, and `off`.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "cli/Command.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/ScopedEnv.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

class Schedule : public ::testing::Test {
  protected:
    // A home whose path holds what systemd and the shell treat specially.
    Schedule()
        : home(JoinPath(dir.Path(), "my jobs %h $HOME \"q\" 'it'")),
          units(JoinPath(dir.Path(), "config/systemd/user")),
          log(JoinPath(dir.Path(), "systemctl.log")),
          config("XDG_CONFIG_HOME", JoinPath(dir.Path(), "config").c_str()),
          path("PATH", (JoinPath(dir.Path(), "bin") + ":/usr/bin:/bin").c_str()) {
        ForceDirectories(home);
        ForceDirectories(JoinPath(dir.Path(), "bin"));
        StandInSystemctl(0);
    }
    // A systemctl that records its arguments and exits with `status` (1: no manager).
    void StandInSystemctl(int status) {
        const std::string program = JoinPath(dir.Path(), "bin/systemctl");
        WriteFileBytes(program,
                       "#!/bin/sh\necho \"$*\" >>'" + log + "'\nexit " + IntToStr(status) + "\n");
        ::chmod(program.c_str(), 0755);
    }
    test::TCliRun Run(std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"--home", home, "schedule"});
        return test::RunArgs(argv);
    }
    std::string Asked() {
        std::string text;
        TryReadFileBytes(log, text);
        DeleteFile(log);
        return text;
    }
    test::TTempDir dir;
    std::string home, units, log;
    test::TScopedEnv config, path;
};

TEST_F(Schedule, WritesEnablesReportsAndRemovesOnlyItsOwnUnits) {
    ForceDirectories(units);
    WriteFileBytes(JoinPath(units, "other.service"), "[Service]\nExecStart=/bin/true\n");
    auto r = Run({"every", "6h"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_NE(r.out.str().find("Every 6h"), std::string::npos) << r.out.str();
    EXPECT_EQ(Asked(),
              "--user daemon-reload\n--user enable tessaly-jobs-update.timer\n"
              "--user restart tessaly-jobs-update.timer\n");
    const std::string service = ReadFileBytes(JoinPath(units, "tessaly-jobs-update.service"));
    const std::string timer = ReadFileBytes(JoinPath(units, "tessaly-jobs-update.timer"));
    // Specifiers and variables doubled, quotes and backslashes escaped, every word quoted.
    EXPECT_NE(service.find("\nExecStart=\"/"), std::string::npos) << service;
    EXPECT_NE(service.find("\" \"--home\" \"" + dir.Path() +
                           "/my jobs %%h $$HOME \\\"q\\\" 'it'\" \"update\" \"--all\" "
                           "\"--quiet\" \"--notify\"\n"),
              std::string::npos)
        << service;
    // The notification's helper outlives the run.
    EXPECT_NE(service.find("\nKillMode=process\n"), std::string::npos) << service;
    EXPECT_NE(timer.find("\nOnUnitActiveSec=6h\n"), std::string::npos) << timer;
    EXPECT_NE(timer.find("\nWantedBy=timers.target\n"), std::string::npos) << timer;
    if (std::system("command -v systemd-analyze >/dev/null 2>&1") == 0) {
        test::TScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().c_str());
        EXPECT_EQ(std::system(("systemd-analyze --user verify '" + units +
                               "/tessaly-jobs-update.service' >/dev/null 2>&1")
                                  .c_str()),
                  0)
            << service;
    }

    r = Run({"status"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.str().find("Every 6h: "), std::string::npos) << r.out.str();
    EXPECT_NE(r.out.str().find("The timer is active."), std::string::npos) << r.out.str();
    Asked();

    r = Run({"off"});
    EXPECT_EQ(r.status, kExitOk) << r.err.str();
    EXPECT_EQ(Asked(), "--user disable --now tessaly-jobs-update.timer\n--user daemon-reload\n");
    EXPECT_FALSE(PathExists(JoinPath(units, "tessaly-jobs-update.service")));
    EXPECT_FALSE(PathExists(JoinPath(units, "tessaly-jobs-update.timer")));
    EXPECT_TRUE(FileExists(JoinPath(units, "other.service")));
    EXPECT_NE(Run({"off"}).out.str().find("No schedule is set."), std::string::npos);

    // A file of that name that it did not write is never removed or replaced.
    const std::string foreign = JoinPath(units, "tessaly-jobs-update.timer");
    WriteFileBytes(foreign, "[Timer]\nOnCalendar=daily\n");
    for (const auto& argv : {std::vector<std::string>{"off"}, {"every", "1d"}}) {
        r = Run(argv);
        EXPECT_EQ(r.status, kExitUsage) << argv[0];
        EXPECT_NE(r.err.str().find("was not written by 'tessaly schedule'"), std::string::npos);
        EXPECT_EQ(ReadFileBytes(foreign), "[Timer]\nOnCalendar=daily\n");
    }
}

TEST_F(Schedule, WithoutAUserManagerPrintsTheSystemctlAndCrontabLines) {
    StandInSystemctl(1);
    auto r = Run({"every", "30m"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    const std::string out = r.out.str();
    EXPECT_NE(out.find("\n  systemctl --user enable --now tessaly-jobs-update.timer\n"),
              std::string::npos)
        << out;
    // Single quotes for the shell, '%' escaped for cron.
    EXPECT_NE(out.find("\n  */30 * * * * '/"), std::string::npos) << out;
    EXPECT_NE(out.find("' '--home' '" + dir.Path() +
                       "/my jobs \\%h $HOME \"q\" '\\''it'\\''' 'update' '--all' '--quiet' "
                       "'--notify'\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(FileExists(JoinPath(units, "tessaly-jobs-update.timer")));
    EXPECT_EQ(Asked(), "--user daemon-reload\n");
    r = Run({"off"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_FALSE(PathExists(JoinPath(units, "tessaly-jobs-update.timer")));
}

TEST_F(Schedule, RefusesDurationsThatMeanNothing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"6", "no duration"},         {"h", "no duration"},    {"6x", "no duration"},
        {"-1h", "no duration"},       {"1.5h", "no duration"}, {"6 h", "no duration"},
        {"0h", "too often"},          {"2m", "too often"},     {"400d", "more than a year"},
        {"99999999d", "no duration"},
    };
    for (const auto& [duration, message] : cases) {
        auto r = Run({"every", duration});
        EXPECT_EQ(r.status, kExitUsage) << duration;
        EXPECT_NE(r.err.str().find(message), std::string::npos) << duration << ": " << r.err.str();
    }
    EXPECT_EQ(Run({"sometimes"}).status, kExitUsage);
    EXPECT_FALSE(PathExists(units));
    EXPECT_EQ(Asked(), "");
}

}  // namespace
}  // namespace tessaly::cli
