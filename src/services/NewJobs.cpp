#include "services/NewJobs.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly {

std::string WindowProgram() {
    const char* path = std::getenv("PATH");
    TStrings dirs = {ExecutableDirectory()};
    for (std::string& dir : Split(path ? path : "", ":"))
        dirs.push_back(std::move(dir));
    for (const std::string& dir : dirs) {
        const std::string program = JoinPath(dir.empty() ? "." : dir, "tessaly-jobs");
        if (FileExists(program) && ::access(program.c_str(), X_OK) == 0) return program;
    }
    return "";
}

TSearchNews SearchNews(int number, std::string name, std::string table, const TVelaJobsList& jobs) {
    TSearchNews n{number, std::move(name), std::move(table), NewJobPositions(jobs), {}};
    for (size_t i = 0; i < n.rows.size() && i < 3; ++i)
        n.titles.push_back(DisplayUtf8(jobs[n.rows[i]].Title));
    return n;
}

void OfferShowSearch(TDesktopNotification& n, int number) {
    n.Actions = {{"default", "Show the new jobs"}};
    n.DesktopEntry = "tessaly-jobs";
    n.SearchNumber = number;
}

TDesktopNotification NewJobsNotification(const std::vector<TSearchNews>& news) {
    constexpr size_t kSearchesShown = 5;
    TDesktopNotification n;
    size_t total = 0;
    std::string body;
    for (size_t i = 0; i < news.size(); ++i) {
        total += news[i].rows.size();
        if (i >= kSearchesShown) continue;
        body += news[i].name + ": " + Join(news[i].titles, ", ");
        if (news[i].rows.size() > news[i].titles.size()) body += ", ...";
        body += "\n";
    }
    if (news.size() > kSearchesShown)
        body += "and " + IntToStr(static_cast<int64_t>(news.size() - kSearchesShown)) +
                " more searches\n";
    n.Summary = total == 1 ? "1 new job" : IntToStr(static_cast<int64_t>(total)) + " new jobs";
    n.Body = TrimRight(body);
    if (!WindowProgram().empty()) OfferShowSearch(n, news.front().number);
    return n;
}

}  // namespace tessaly
