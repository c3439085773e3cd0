// Arbitrary texts through the job clean-up and the state codes: no crash, and the
// documented end states hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/VelaJobs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Four fields cut at NUL bytes.
    std::string field[4];
    size_t f = 0;
    for (const char c : text) {
        if (c == '\0' && f < 3)
            ++f;
        else
            field[f] += c;
    }
    tessaly::TVelaJobsList list;
    tessaly::TVelaJob& j = list.AddJob();
    j.Title = field[0];
    j.Company = field[1];
    j.Location = field[2];
    j.URL = field[3];
    j.High = true;
    list.CleanUpJobs();
    if (j.Company.empty() || j.Location.empty() || j.High || j.Status != 0) __builtin_trap();
    if (j.URL.find_first_of("\t\r\n ") != std::string::npos) __builtin_trap();
    if (j.Title.find_first_of("\t\r\n") != std::string::npos) __builtin_trap();
    if (j.Title.find("  ") != std::string::npos) __builtin_trap();
    list.ExpandStates();
    tessaly::TVelaJobsList other;
    other.AddJob() = j;
    other.AddJob() = j;
    list.MergeJobs(other, true);
    if (list.Count() != 1 || other.Count() != 0) __builtin_trap();
    return 0;
}
