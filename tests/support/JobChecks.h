// Compares a harvested job list with the expected title, company, location and link of
// each job, in order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/VelaJobs.h"

namespace tessaly::test {

struct TExpectedJob {
    std::string title, company, location, url;
};

inline void ExpectJobs(const TVelaJobsList& jobs, const std::vector<TExpectedJob>& want) {
    ASSERT_EQ(jobs.Count(), static_cast<int>(want.size()));
    for (int i = 0; i < jobs.Count(); ++i) {
        EXPECT_EQ(jobs[i].Title, want[i].title) << i;
        EXPECT_EQ(jobs[i].Company, want[i].company) << i;
        EXPECT_EQ(jobs[i].Location, want[i].location) << i;
        EXPECT_EQ(jobs[i].URL, want[i].url) << i;
    }
}

}  // namespace tessaly::test
