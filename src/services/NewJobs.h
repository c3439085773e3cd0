// What an update of several searches brought, and the one desktop notification that tells
// it: shared by the command line's `update` and the window's scheduled checks, so both
// tell new jobs alike.
#pragma once

#include <string>
#include <vector>

#include "data/VelaJobs.h"
#include "services/Notifier.h"

namespace tessaly {

// What one search's run brought: its new jobs as list positions.
struct TSearchNews {
    int number = 0;  // as `tessaly list` numbers it, from 1
    std::string name;
    std::string table;  // its job table, which still names it when the numbers move
    std::vector<int> rows;
    std::vector<std::string> titles;  // the first few, for the notification
};

// The news of the search numbered `number`, shown as `name`, with the job table `table`
// whose list is `jobs`.
TSearchNews SearchNews(int number, std::string name, std::string table, const TVelaJobsList& jobs);

// The window's program, beside this one or on the PATH; empty when it is not installed.
std::string WindowProgram();

// Clicking `n` opens the window on search `number` (as `tessaly list` numbers it).
void OfferShowSearch(TDesktopNotification& n, int number);

// One notification for a whole update: how many new jobs, and per search the first titles.
// Clicking it opens the window on the first of those searches when the window is
// installed. `news` holds only searches with new jobs, at least one.
TDesktopNotification NewJobsNotification(const std::vector<TSearchNews>& news);

}  // namespace tessaly
