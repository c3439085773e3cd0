// Cutting job records out of a result page. Kept apart from the loader so that reading
// definitions does not pull in the script interpreter.
#include "data/VelaSources.h"

#include "data/BoardJobs.h"
#include "platform/DateTime.h"
#include "platform/MainLoop.h"
#include "platform/Utf8.h"

namespace tessaly {

bool IsJsonTextFormat(std::string_view textFormat) {
    return UpperCase(Trim(textFormat)) == "JSON";
}

std::string TPageFields::Field(std::string_view raw) const {
    std::string text = ToUtf8(raw, Charset);
    if (Json) text = JsonUnescape(text);
    return text;
}

TPageFields PageFieldsOf(const TVelaSource& site, std::string_view header, std::string_view page) {
    return {ResolvePageCharset(site.Charset, header, page), IsJsonTextFormat(site.TextFormat)};
}

THarvestCount TVelaSource::HarvestJobs(const std::string& page, std::string_view header) {
    const TStrings blocks = JsonJobArray.empty() ? Parser.RunRepeated(JobBlockScript, page)
                                                 : JsonArrayElements(page, JsonJobArray);
    THarvestCount count;
    count.Blocks = static_cast<int>(blocks.size());
    const TPageFields fields = PageFieldsOf(*this, header, page);
    const std::string source = Utf8FromStored(Title);
    // Each field's script is read once for all the blocks.
    const TParsedScript title = ParseScript(JobTitleScript),
                        company = ParseScript(JobCompanyScript),
                        location = ParseScript(JobLocationScript), url = ParseScript(JobURLScript);
    for (const auto& block : blocks) {
        TVelaJob& job = Jobs.AddJob();
        job.Source = source;
        job.Found = NowText();
        job.Title = fields.Field(Parser.RunParsed(title, block));
        job.Company = fields.Field(Parser.RunParsed(company, block));
        if (Trim(job.Company).empty()) job.Company = CompanyName;
        job.Location = fields.Field(Parser.RunParsed(location, block));
        job.URL = fields.Field(Parser.RunParsed(url, block));
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

std::string TVelaSource::ScriptPage(const std::string& page) const {
    return IsJsonTextFormat(TextFormat) ? CompactJson(page) : page;
}

bool TVelaSource::PageInExpectedFormat(const std::string& page) {
    return PageFormatScript.empty() || !Parser.Run(PageFormatScript, page).empty();
}

}  // namespace tessaly
