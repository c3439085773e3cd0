// Cutting job records out of a result page. Kept apart from the loader so that reading
// definitions does not pull in the script interpreter.
#include "data/VelaSources.h"

#include "data/BoardJobs.h"
#include "platform/DateTime.h"
#include "platform/LinkAddress.h"
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

THarvestCount TVelaSource::HarvestJobs(const std::string& page, std::string_view header,
                                       std::string_view pageAddress) {
    const size_t limit = BlockLimit < 0 ? SIZE_MAX : static_cast<size_t>(BlockLimit);
    THarvestCount count;
    // A whole board is long: when its bytes decide its charset, they are checked as its
    // jobs are read (each stretch while it is in the caches), the fields meanwhile read as
    // UTF-8; should the board prove to be none, the jobs kept are read again. Only bytes
    // outside ASCII read otherwise, so whether a job is kept does not change.
    const bool board = !JsonJobArray.empty();
    const std::optional<TCharset> named =
        board ? NamedPageCharset(Charset, header, page) : std::nullopt;
    TPageFields fields =
        board ? TPageFields{named.value_or(TCharset::Utf8), IsJsonTextFormat(TextFormat)}
              : PageFieldsOf(*this, header, page);
    struct TRawJob {
        int index;
        std::string title, company, location, url;
    };
    std::vector<TRawJob> readAsUtf8;
    auto fill = [&](TVelaJob& job, const TRawJob& raw) {
        job.Title = fields.Field(raw.title);
        job.Company = fields.Field(raw.company);
        if (Trim(job.Company).empty()) job.Company = CompanyName;
        job.Location = fields.Field(raw.location);
        job.URL = ResolveLink(pageAddress, fields.Field(raw.url));
    };
    const std::string source = Utf8FromStored(Title);
    // Each field's script is read once for all the blocks.
    const TParsedScript title = ParseScript(JobTitleScript),
                        company = ParseScript(JobCompanyScript),
                        location = ParseScript(JobLocationScript), url = ParseScript(JobURLScript);
    // Each job is stamped with the time it was found, written out once per second.
    std::time_t foundAt = -1;
    std::string foundText;
    // Makes a job of one block; false when harvesting must end there.
    auto harvest = [&](std::string_view block) {
        if (Parser.Stopped()) return false;  // the block list itself was cut short
        TVelaJob& job = Jobs.AddJob();
        job.Source = source;
        if (const std::time_t now = std::time(nullptr); now != foundAt) {
            foundAt = now;
            foundText = DateTimeText(now);
        }
        job.Found = foundText;
        bool stopped = false;
        auto cut = [&](const TParsedScript& script) {
            std::string out = stopped ? std::string() : Parser.RunOver(script, block);
            stopped = stopped || Parser.Stopped();
            return out;
        };
        TRawJob raw{Jobs.Count() - 1, cut(title), cut(company), cut(location), cut(url)};
        fill(job, raw);
        if (stopped) {
            // A job cut short would be a wrong one.
            Jobs.DeleteJob(Jobs.Count() - 1);
            return false;
        }
        // Sites that put a running number where the title belongs give no title.
        if (const auto n = ParseInt(job.Title); n && *n > 0) job.Title.clear();
        // The job was just appended, so it is the last one whatever its JobIndex says.
        if (job.Title.empty()) {
            if (!job.URL.empty() || !job.Company.empty()) ++count.Untitled;
            Jobs.DeleteJob(Jobs.Count() - 1);
        } else {
            ++count.Kept;
            if (board && !named) readAsUtf8.push_back(std::move(raw));
        }
        return AskKeepGoing(Parser.KeepGoing);
    };
    if (JsonJobArray.empty()) {
        TStrings blocks = Parser.RunRepeated(JobBlockScript, page, limit);
        if (blocks.size() > limit) blocks.resize(limit);
        count.Blocks = static_cast<int>(blocks.size());
        for (const auto& block : blocks)
            if (!harvest(block)) break;
        return count;
    }
    // A job's block is cut and read at once, while it is still in the caches; once
    // harvesting ends, the rest are only counted.
    TJsonArrayReader reader(page, JsonJobArray);
    std::string block;
    bool going = true, utf8 = true;
    size_t checked = 0;
    for (size_t n = 0; n < limit && reader.Next(block); ++n) {
        ++count.Blocks;
        if (!named && utf8) {
            utf8 = IsValidUtf8(std::string_view(page).substr(checked, reader.ReadTo() - checked));
            checked = reader.ReadTo();
        }
        if (going) going = harvest(block);
    }
    if (named || (utf8 && IsValidUtf8(std::string_view(page).substr(checked)))) return count;
    fields.Charset = TCharset::Windows1252;
    for (const TRawJob& raw : readAsUtf8)
        fill(Jobs[raw.index], raw);
    return count;
}

std::string TVelaSource::ScriptPage(const std::string& page) const {
    return IsJsonTextFormat(TextFormat) ? CompactJson(page) : page;
}

bool TVelaSource::PageInExpectedFormat(const std::string& page) {
    return PageFormatScript.empty() || !Parser.Run(PageFormatScript, page).empty();
}

}  // namespace tessaly
