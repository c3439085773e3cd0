// `tessaly similarity`, `tessaly score` and `tessaly match`: the fuzzy comparisons behind
// relevancy and refinement, one at a time.
#include <ostream>

#include "cli/Command.h"
#include "cli/SourcesArg.h"
#include "data/Relevancy.h"
#include "parsing/VelaPageSearch.h"
#include "platform/Charset.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"

namespace tessaly::cli {
namespace {

int SimilarityRun(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "similarity", parsed.error());
    if (args.Positional().size() != 2) return UsageError(io, "similarity", "expected A and B");
    io.out << Similarity(args.Positional()[0], args.Positional()[1]) << "\n";
    return kExitOk;
}

int ScoreRun(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    const std::vector<std::string> valued = {"region", "keywords", "title", "company", "location"};
    if (auto parsed = args.Parse(argv, {}, valued); !parsed)
        return UsageError(io, "score", parsed.error());
    if (args.Positional().size() != 2) return UsageError(io, "score", "expected SOURCES.DEF SITE");
    for (const char* o : {"region", "keywords"})
        if (!args.Has(o)) return UsageError(io, "score", std::string("--") + o + " is needed");
    TVelaSourcesList list;
    int status = kExitOk;
    TVelaSource* site =
        LoadSite(list, args.Positional()[0], args.Positional()[1], "score", io, status);
    if (site == nullptr) return status;
    // A job's missing company or location reads "n/a" once cleaned.
    const std::string company = args.Value("company").value_or("n/a");
    const std::string location = args.Value("location").value_or("n/a");
    const int64_t score =
        RelevancyScore(WeightsOf(*site), args.Value("title").value_or(""), company, location,
                       *args.Value("region"), *args.Value("keywords"));
    io.out << score << " " << RelevancyText(RelevancyLevel(score)) << "\n";
    return kExitOk;
}

int MatchRun(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {"all"}, {}); !parsed)
        return UsageError(io, "match", parsed.error());
    if (args.Positional().size() != 2) return UsageError(io, "match", "expected KEYWORDS and PAGE");
    std::string page;
    try {
        page = ReadFileBytes(args.Positional()[1]);
    } catch (const EFileError& e) {
        io.err << "tessaly match: " << e.what() << "\n";
        return kExitUsage;
    }
    // As a refinement does: both sides in UTF-8, the page by its declaration or its bytes.
    page = ToUtf8(page, ResolvePageCharset({}, {}, page));
    TVelaPageSearch matcher;
    io.out << matcher.CountMatches(Utf8FromStored(args.Positional()[0]), page, args.Has("all"))
           << "\n";
    return kExitOk;
}

const TRegisterCommand kSimilarity{{
    "similarity",
    "the similarity percentage of two texts",
    "Usage: tessaly similarity A B\n\n"
    "Writes the Ratcliff/Obershelp similarity of A and B, 0 to 100, compared byte for\n"
    "byte (no case folding). Texts over 255 bytes and empty texts give 0. A word counts\n"
    "as a match for a keyword above 80.\n",
    SimilarityRun,
}};

const TRegisterCommand kScore{{
    "score",
    "the relevancy score a site gives one job",
    "Usage: tessaly score SOURCES.DEF SITE --region R --keywords K\n"
    "                     [--title T] [--company C] [--location L]\n\n"
    "Scores a job with title T, company C and location L (\"n/a\" when not given, as for a\n"
    "job whose site gave none) for a search with region R and keywords K as typed, by\n"
    "the weights of SITE (a site number from 0, or a site's Title). Writes the score and\n"
    "the level as the listing shows it, such as \"3 (5) Highest\".\n\n"
    "Exit status: 0, or 2 for bad usage or a definitions file that cannot be used.\n",
    ScoreRun,
}};

const TRegisterCommand kMatch{{
    "match",
    "count the keyword hits in a saved job page",
    "Usage: tessaly match KEYWORDS PAGE [--all]\n\n"
    "Writes the number of hits of KEYWORDS in the HTML file PAGE as a refinement counts\n"
    "them: tags are removed, lines joined, and every page word more than 80 % similar\n"
    "to a keyword (case folded) is a hit. With --all, 0 unless every keyword has a hit.\n"
    "The page is read in UTF-8 by its charset declaration, else as UTF-8 when it is\n"
    "valid UTF-8, else as Windows-1252; only the letters a to z fold.\n\n"
    "Exit status: 0, or 2 for bad usage or a page that cannot be read.\n",
    MatchRun,
}};

}  // namespace
}  // namespace tessaly::cli
