#include "data/Relevancy.h"

#include "parsing/VelaPageSearch.h"

namespace tessaly {

TStrings SplitScoreWords(std::string_view text) {
    TStrings words;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsJobWordSeparator(text[i])) continue;
        words.emplace_back(text.substr(start, i + 1 - start));
        start = i + 1;
    }
    words.emplace_back(text.substr(start));
    return words;
}

TWordMatch WordMatch(std::string_view text, std::string_view sought) {
    TStrings have = SplitScoreWords(text);
    TStrings want = SplitScoreWords(sought);
    for (auto& w : have)
        UpperCaseInPlace(w);
    for (auto& w : want)
        UpperCaseInPlace(w);
    size_t count = 0;
    for (const auto& t : have)
        for (const auto& w : want)
            if (Similarity(t, w) > 80) ++count;
    if (count == 0) return TWordMatch::None;
    return count == want.size() ? TWordMatch::Full : TWordMatch::Partial;
}

int64_t RelevancyScore(const TRelevancyWeights& weights, std::string_view title,
                       std::string_view company, std::string_view location, std::string_view region,
                       std::string_view keywords) {
    // Weights come from the definitions file; summing in 64 bits cannot overflow.
    int64_t score = weights.CategoryRelevancy;
    score += WordMatch(location, region) == TWordMatch::Full ? weights.RegionMatchRelevancy
                                                             : weights.RegionNoMatchRelevancy;
    std::string text;
    text.reserve(title.size() + company.size() + location.size() + 2);
    text.append(title).append(" ").append(company).append(" ").append(location);
    switch (WordMatch(text, keywords)) {
        case TWordMatch::Full:
            score += weights.KeywordsFullMatchRelevancy;
            break;
        case TWordMatch::Partial:
            score += weights.KeywordsPartMatchRelevancy;
            break;
        case TWordMatch::None:
            score += weights.KeywordsNoMatchRelevancy;
            break;
    }
    return score;
}

uint8_t RelevancyLevel(int64_t score) {
    if (score < 0) return 2;
    if (score > 2) return 6;
    return static_cast<uint8_t>(score + 3);
}

namespace {
const char* const kRelevancyNames[5] = {"Lowest", "Low", "Average", "High", "Highest"};
}  // namespace

int RelevancyRank(uint8_t level) {
    return level >= 2 && level <= 6 ? level - 1 : 0;
}

std::string RelevancyName(uint8_t level) {
    const int rank = RelevancyRank(level);
    return rank > 0 ? kRelevancyNames[rank - 1] : "";
}

std::string RelevancyMark(uint8_t level) {
    const int rank = RelevancyRank(level);
    return rank > 0 ? "(" + std::to_string(rank) + ")" : "";
}

std::string RelevancyText(uint8_t level) {
    return RelevancyRank(level) > 0 ? RelevancyMark(level) + " " + RelevancyName(level) : "";
}

TRelevancyWeights WeightsOf(const TVelaSource& site) {
    return site;
}

void ScoreJobs(TVelaJobsList& jobs, const TRelevancyWeights& weights, std::string_view region,
               std::string_view keywords, const TKeepGoing& keepGoing) {
    // Copies: the search may change while pending messages run between jobs.
    const std::string r(region), k(keywords);
    // The count is read afresh each time for the same reason.
    for (int i = 0; i < jobs.Count(); ++i) {
        TVelaJob& job = jobs[i];
        if (job.Relevancy != kRelevancyDeleted)
            job.Relevancy =
                RelevancyLevel(RelevancyScore(weights, job.Title, job.Company, job.Location, r, k));
        if (!AskKeepGoing(keepGoing)) break;
    }
}

}  // namespace tessaly
