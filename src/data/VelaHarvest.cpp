// Cutting job records out of a result page. Kept apart from the loader so that reading
// definitions does not pull in the script interpreter.
#include "data/VelaSources.h"
#include "platform/DateTime.h"
#include "platform/MainLoop.h"

namespace tessaly {

THarvestCount TVelaSource::HarvestJobs(const std::string& page) {
    const TStrings blocks = Parser.RunRepeated(JobBlockScript, page);
    THarvestCount count;
    count.Blocks = static_cast<int>(blocks.size());
    for (const auto& block : blocks) {
        TVelaJob& job = Jobs.AddJob();
        job.Source = Title;
        job.Found = NowText();
        job.Title = Parser.Run(JobTitleScript, block);
        job.Company = Parser.Run(JobCompanyScript, block);
        job.Location = Parser.Run(JobLocationScript, block);
        job.URL = Parser.Run(JobURLScript, block);
        // Sites that put a running number where the title belongs give no title.
        if (const auto n = ParseInt(job.Title); n && *n > 0) job.Title.clear();
        // The job was just appended, so it is the last one whatever its JobIndex says.
        if (job.Title.empty()) {
            if (!job.URL.empty() || !job.Company.empty()) ++count.Untitled;
            Jobs.DeleteJob(Jobs.Count() - 1);
        } else {
            ++count.Kept;
        }
        ProcessMessages();
    }
    return count;
}

bool TVelaSource::PageInExpectedFormat(const std::string& page) {
    return PageFormatScript.empty() || !Parser.Run(PageFormatScript, page).empty();
}

}  // namespace tessaly
