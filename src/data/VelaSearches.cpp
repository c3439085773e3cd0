#include "data/VelaSearches.h"

#include <algorithm>

#include "data/PackedFile.h"
#include "data/VelaSources.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly {
namespace {

constexpr int kIndexLinesPerSearch = 6;
// Tables whose fields hold a line break are written in this version: a field's "\\", CR
// and LF are then written "\\\\", "\\r" and "\\n". Every other table is written as V1.01,
// byte for byte as before.
constexpr std::string_view kEscapedVersion = "V1.02";
constexpr int kLinesPerJobV100 = 10;
constexpr int kLinesPerJobV101 = 12;

// Reads lines one after another; lines past the end read as empty, as a file cut short
// is taken.
class TLineReader {
  public:
    explicit TLineReader(TStrings lines) : lines_(std::move(lines)) {}
    std::string Next() {
        if (pos_ >= lines_.size()) {
            ++pos_;
            return {};
        }
        return lines_[pos_++];
    }
    size_t LineNumber() const { return pos_; }             // 1-based number of the last line read
    bool PastEnd() const { return pos_ > lines_.size(); }  // the last line read was missing
    size_t Remaining() const { return pos_ >= lines_.size() ? 0 : lines_.size() - pos_; }

  private:
    TStrings lines_;
    size_t pos_ = 0;
};

int ReadCount(TLineReader& reader, const std::string& line, const std::string& fileName) {
    const std::optional<int32_t> n = ParseInt(line);
    if (!n) {
        throw EConvertError(fileName + ", line " +
                            IntToStr(static_cast<int64_t>(reader.LineNumber())) + ": \"" + line +
                            "\" is not a valid count");
    }
    return std::max<int32_t>(*n, 0);
}

// A damaged count must not make us build millions of empty records: records that would
// start past the end of the file are not created.
int CapCount(int count, size_t remainingLines, int linesPerRecord) {
    const size_t possible =
        (remainingLines + static_cast<size_t>(linesPerRecord) - 1) / linesPerRecord;
    return static_cast<int>(std::min(static_cast<size_t>(count), possible));
}

void LoadTableText(TVelaJobsList& list, std::string_view text, const std::string& fileName,
                   TTableTexts texts, bool whole);

std::string EscapeField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (const char c : field) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// A backslash before anything but "\\", "r" or "n" stays as written.
std::string UnescapeField(std::string_view field) {
    if (field.find('\\') == std::string_view::npos) return std::string(field);
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const char next = i + 1 < field.size() ? field[i + 1] : '\0';
        if (field[i] != '\\' || (next != '\\' && next != 'r' && next != 'n')) {
            out += field[i];
            continue;
        }
        out += next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
        ++i;
    }
    return out;
}

// The part of `path` below `home` ("searches/velares~1.tbl"), or `path` itself when it
// lies elsewhere.
std::string PathBelowHome(const std::string& path, const std::string& home) {
    if (!home.empty() && path.size() > home.size() + 1 && StartsWith(path, home) &&
        path[home.size()] == '/')
        return path.substr(home.size() + 1);
    return path;
}

// The other boards of grouped rows are stored as rows of their own after the jobs, each
// marked deleted by the user: a reader that does not know them reads every job as before
// and hides these (and drops them when it saves). Such a row holds the board in Source,
// its page in URL, the number of the row it belongs to (from 1, among the rows written)
// in Found, and the marker in Notes; title and company are its row's, for a reader's eye.
constexpr const char* kAlsoOnMarker = "AlsoOn";

// The rows that carry the other boards of the jobs the user did not delete.
std::vector<TVelaJob> AlsoOnRows(const TVelaJobsList& list) {
    std::vector<TVelaJob> boards;
    int row = 0;
    for (int i = 0; i < list.Count(); ++i) {
        const TVelaJob& job = list[i];
        if (job.Relevancy == kRelevancyDeleted) continue;
        ++row;
        for (const TAlsoOn& a : job.AlsoOn) {
            TVelaJob& b = boards.emplace_back();
            b.Title = job.Title;
            b.Company = job.Company;
            b.URL = a.URL;
            b.Source = a.Source;
            b.Found = IntToStr(row);
            b.Relevancy = kRelevancyDeleted;
            b.Notes = kAlsoOnMarker;
        }
    }
    return boards;
}

// Takes the rows AlsoOnRows made for the other boards out of `jobs` into their rows'
// AlsoOn. A row marked deleted that is not one of them stays as it is.
void TakeAlsoOnRows(std::vector<TVelaJob>& jobs) {
    size_t kept = 0;
    std::vector<std::pair<size_t, TAlsoOn>> boards;
    for (size_t i = 0; i < jobs.size(); ++i) {
        TVelaJob& job = jobs[i];
        const std::optional<int32_t> row = ParseInt(job.Found);
        if (job.Relevancy == kRelevancyDeleted && job.Notes == kAlsoOnMarker && row && *row >= 1) {
            boards.emplace_back(static_cast<size_t>(*row - 1), TAlsoOn{job.Source, job.URL});
            continue;
        }
        if (kept != i) jobs[kept] = std::move(job);
        ++kept;
    }
    jobs.resize(kept);
    for (auto& [row, a] : boards)
        if (row < jobs.size()) jobs[row].AlsoOn.push_back(std::move(a));
}

}  // namespace

std::string RebaseStoredPath(const std::string& path, const std::string& home) {
    if (path.empty() || path[0] != '/' || home.empty() || PathBelowHome(path, home) != path)
        return ResolveStoredPath(path, home);
    // Written by a copy of this home elsewhere (or before the home moved): the same file
    // below this home's "searches" folder stands for it.
    const size_t at = path.rfind("/searches/");
    if (at == std::string::npos) return path;
    const std::string here = JoinPath(home, path.substr(at + 1));
    return PathExists(here) ? here : path;
}

std::string ResolveStoredPath(const std::string& path, const std::string& home) {
    if (path.empty() || path[0] == '/' || home.empty()) return path;
    // Older indexes hold paths made from a relative home ("h/searches/velares~1.tbl"):
    // what follows their "searches" folder is the part below the home.
    std::string rest = path;
    for (size_t at = path.size(); at != std::string::npos && at > 0;) {
        const size_t hit = path.rfind("searches/", at - 1);
        if (hit == std::string::npos) break;
        if (hit == 0 || path[hit - 1] == '/') {
            rest = path.substr(hit);
            break;
        }
        at = hit;
    }
    return JoinPath(home, rest);
}

TVelaSearch& TVelaSearchesList::AddSearch() {
    searches_.push_back(std::make_unique<TVelaSearch>());
    searches_.back()->SearchIndex = Count() - 1;
    return *searches_.back();
}

void TVelaSearchesList::DeleteSearch(int position) {
    if (position < 0 || position >= Count()) return;
    searches_.erase(searches_.begin() + position);
}

void TVelaSearchesList::Clear() {
    searches_.clear();
}

void TVelaSearchesList::LoadIndex(const std::string& fileName) {
    Damage.clear();
    if (fileName.empty() || !PathExists(fileName)) {
        Clear();
        return;
    }
    const std::string home = DirName(DirName(fileName));
    TLineReader reader(SplitLines(ReadFileBytes(fileName)));
    const std::string countLine = reader.Next();
    const int stated = ReadCount(reader, countLine, fileName);
    const int count = CapCount(stated, reader.Remaining(), kIndexLinesPerSearch);
    // A record cut short still counts as present; a count past the records does not.
    const int whole = count;
    std::string damage;
    if (stated > whole)
        damage = fileName + " is damaged: it counts " + IntToStr(stated) +
                 (stated == 1 ? " search" : " searches") + " but holds only " + IntToStr(whole);
    std::vector<std::unique_ptr<TVelaSearch>> loaded;
    for (int i = 0; i < count; ++i) {
        auto s = std::make_unique<TVelaSearch>();
        s->SearchIndex = i;
        // Indexes of the first versions were written in Windows-1252.
        s->Region = Utf8FromStored(reader.Next());
        s->Category = Utf8FromStored(reader.Next());
        s->Keywords = Utf8FromStored(reader.Next());
        s->Created = Utf8FromStored(reader.Next());
        const std::string stored = reader.Next();
        s->TableFile = RebaseStoredPath(stored, home);
        if (StartsWith(s->TableFile, "/") && PathBelowHome(s->TableFile, home) == s->TableFile) {
            // Nothing outside this home is ever written or deleted: the search keeps a
            // table of that name here (a new one when the name is no table's, as in an
            // index cut short), and the user is told where the old one was.
            const std::string name = BaseName(stored);
            if (StartsWith(name, "velares~") && EndsWith(name, ".tbl"))
                s->TableFile = JoinPath(JoinPath(home, "searches"), name);
            else
                s->TableFile.clear();  // named below, once every record's name is known
            if (!damage.empty()) damage += "; ";
            damage += "search " + IntToStr(i + 1) + " names the table " + stored +
                      " outside this home" +
                      (s->TableFile.empty() ? std::string()
                                            : ", and " + s->TableFile + " does not exist");
        }
        s->JobCount = ParseIntOr(reader.Next(), 0);
        loaded.push_back(std::move(s));
    }
    searches_ = std::move(loaded);
    for (auto& s : searches_)
        if (s->TableFile.empty()) s->TableFile = NewTableFileName(home, this);
    Damage = damage;
}

void TVelaSearchesList::SaveIndex(const std::string& fileName) const {
    // One line per value: a line break inside one (keywords typed on several lines)
    // would shift every field after it, so it is written as a blank.
    auto line = [](const std::string& v) {
        std::string out = ReplaceAll(v, "\r\n", " ");
        for (char& c : out)
            if (c == '\r' || c == '\n') c = ' ';
        return out;
    };
    // Tables are named below the home, so a copied or moved home keeps its own.
    const std::string home = DirName(DirName(fileName));
    TStrings lines;
    lines.push_back(IntToStr(Count()));
    for (const auto& s : searches_) {
        lines.push_back(line(s->Region));
        lines.push_back(line(s->Category));
        lines.push_back(line(s->Keywords));
        lines.push_back(line(s->Created));
        lines.push_back(line(PathBelowHome(s->TableFile, home)));
        lines.push_back(IntToStr(s->JobCount));
    }
    WriteFileAtomic(fileName, JoinLinesCrLf(lines));
}

std::string SearchesIndexPath(const std::string& programDir) {
    return JoinPath(programDir, "searches/velares.idx");
}

std::string NewTableFileName(const std::string& programDir, const TVelaSearchesList* taken) {
    const std::string dir = JoinPath(programDir, "searches");
    for (int n = 1;; ++n) {
        std::string name = JoinPath(dir, "velares~" + IntToStr(n) + ".tbl");
        bool used = PathExists(name);
        for (int i = 0; taken && !used && i < taken->Count(); ++i)
            used = (*taken)[i].TableFile == name;
        if (!used) return name;
    }
}

bool TablesWrittenPlain(const std::string& programDir) {
    return PathExists(JoinPath(programDir, "compress.not"));
}

std::string JobTableText(const TVelaJobsList& list) {
    const std::vector<TVelaJob> boards = AlsoOnRows(list);
    std::vector<const TVelaJob*> rows;
    for (int i = 0; i < list.Count(); ++i)
        if (list[i].Relevancy != kRelevancyDeleted) rows.push_back(&list[i]);
    for (const TVelaJob& b : boards)
        rows.push_back(&b);
    constexpr std::string TVelaJob::*kTexts[] = {
        &TVelaJob::Title,     &TVelaJob::Company, &TVelaJob::Location, &TVelaJob::URL,
        &TVelaJob::LocalFile, &TVelaJob::Source,  &TVelaJob::Found,    &TVelaJob::Notes};
    bool escaped = false;
    for (size_t i = 0; i < rows.size() && !escaped; ++i)
        for (const auto field : kTexts)
            escaped = escaped || (rows[i]->*field).find('\n') != std::string::npos;
    auto text = [escaped](const std::string& field) {
        return escaped ? EscapeField(field) : field;
    };
    TStrings lines;
    lines.push_back(escaped ? std::string(kEscapedVersion) : "V1.01");
    lines.push_back("");  // the count, known once deleted jobs are skipped
    int written = 0;
    for (const TVelaJob* row : rows) {
        const TVelaJob& job = *row;
        lines.push_back(text(job.Title));
        lines.push_back(text(job.Company));
        lines.push_back(text(job.Location));
        lines.push_back(text(job.URL));
        lines.push_back(text(job.LocalFile));
        lines.push_back(text(job.Source));
        lines.push_back(text(job.Found));
        lines.push_back(IntToStr(job.Relevancy));
        lines.push_back(IntToStr(job.Status));
        lines.push_back(job.High ? "High" : "");
        lines.push_back(job.Visited ? "Visited" : "");
        lines.push_back(text(job.Notes));
        ++written;
    }
    lines[1] = IntToStr(written);
    return JoinLinesCrLf(lines);
}

void SaveJobTable(const TVelaJobsList& list, const std::string& fileName,
                  const std::string& programDir) {
    SaveTextSafely(fileName, JobTableText(list), !TablesWrittenPlain(programDir));
}

void LoadJobTable(TVelaJobsList& list, const std::string& fileName, TTableTexts texts) {
    if (fileName.empty() || !PathExists(fileName)) {
        list.ClearJobs();
        return;
    }
    LoadJobTableText(list, ReadStoredText(fileName), fileName, texts);
}

void LoadWholeJobTable(TVelaJobsList& list, const std::string& fileName) {
    if (fileName.empty() || !PathExists(fileName)) {
        list.ClearJobs();
        return;
    }
    LoadTableText(list, ReadStoredText(fileName), fileName, TTableTexts::Utf8, true);
}

void LoadJobTableText(TVelaJobsList& list, std::string_view text, const std::string& fileName,
                      TTableTexts texts) {
    LoadTableText(list, text, fileName, texts, false);
}

namespace {

void LoadTableText(TVelaJobsList& list, std::string_view text, const std::string& fileName,
                   TTableTexts texts, bool whole) {
    TLineReader reader(SplitLines(text));
    std::string first = reader.Next();
    std::string version = "V1.00";
    std::string countLine = first;
    if (!first.empty() && (first[0] == 'V' || first[0] == 'v')) {
        version = UpperCase(first);
        countLine = reader.Next();
    }
    const bool old = version == "V1.00";
    // Grabbed copies live below the table's home (HOME/searches/velares~N/...).
    const std::string home = fileName.empty() ? std::string() : DirName(DirName(fileName));
    const int linesPerJob = old ? kLinesPerJobV100 : kLinesPerJobV101;
    const int stated = ReadCount(reader, countLine, fileName);
    const int count = CapCount(stated, reader.Remaining(), linesPerJob);
    if (whole && count < stated)
        throw EConvertError(fileName + " is damaged: it counts " + IntToStr(stated) +
                            " jobs but holds only " + IntToStr(count));

    // Everything is read before the list is touched, so a damaged file leaves it intact.
    // Tables of the first versions hold Windows-1252 texts; each text that is not UTF-8
    // is read so. File names are the file system's bytes and stay as they are.
    const bool raw = texts == TTableTexts::Stored;
    const bool escaped = version == kEscapedVersion;
    auto readField = [&reader, escaped] {
        return escaped ? UnescapeField(reader.Next()) : reader.Next();
    };
    auto readText = [&readField, raw] { return raw ? readField() : Utf8FromStored(readField()); };
    // A field that held a line break (written by a version that did not escape it) shifts
    // every line after it: the numbers stop being numbers, or lines are left over. Such a
    // table is refused rather than read shifted.
    auto shifted = [&](const std::string& why) {
        return EConvertError(fileName + " is damaged: " + why +
                             " (a field may hold a line break); it is not read");
    };
    auto readNumber = [&](const char* what) {
        const std::string line = reader.Next();
        const std::optional<int32_t> n = ParseInt(line);
        if (!n && !reader.PastEnd())
            throw shifted("line " + IntToStr(static_cast<int64_t>(reader.LineNumber())) + ", \"" +
                          line + "\", is no " + what);
        return n.value_or(0);
    };
    std::vector<TVelaJob> jobs(static_cast<size_t>(count));
    for (TVelaJob& job : jobs) {
        job.Title = readText();
        job.Company = readText();
        job.Location = readText();
        job.URL = readText();
        job.LocalFile = RebaseStoredPath(readField(), home);
        job.Source = readText();
        job.Found = readText();
        const int relevancy = readNumber("relevancy");
        job.Relevancy = relevancy >= 0 && relevancy <= 7 ? static_cast<uint8_t>(relevancy) : 0;
        const int status = readNumber("status");
        job.Status = status >= 0 && status <= 4 ? static_cast<uint8_t>(status) : 0;
        job.High = reader.Next() == "High";
        if (!old) {
            job.Visited = reader.Next() == "Visited";
            job.Notes = readText();
        }
    }
    if (reader.Remaining() > 0)
        throw shifted("it counts " + IntToStr(stated) + (stated == 1 ? " job" : " jobs") +
                      " but holds " + IntToStr(static_cast<int64_t>(reader.Remaining())) +
                      " lines more");
    TakeAlsoOnRows(jobs);
    list.ClearJobs();
    list.FileName = fileName;
    for (TVelaJob& loaded : jobs) {
        TVelaJob& job = list.AddJob();
        const int index = job.JobIndex;
        job = std::move(loaded);
        job.JobIndex = index;
    }
}

}  // namespace

}  // namespace tessaly
