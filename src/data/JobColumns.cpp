#include "data/JobColumns.h"

namespace tessaly {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

template <typename Pred>
std::optional<TJobColumn> Find(Pred pred) {
    for (const TJobColumnInfo& c : kJobColumns)
        if (pred(c)) return c.Column;
    return std::nullopt;
}

}  // namespace

std::optional<TJobColumn> JobColumnBySortKey(std::string_view key) {
    return Find([&](const TJobColumnInfo& c) { return key == c.SortKey; });
}

std::optional<TJobColumn> JobColumnByHeader(std::string_view header) {
    return Find([&](const TJobColumnInfo& c) { return header == c.Header; });
}

std::optional<TJobColumn> JobColumnByName(std::string_view name) {
    return Find([&](const TJobColumnInfo& c) { return EqualsNoCase(name, c.Name); });
}

std::optional<TJobColumn> JobColumnByCaption(std::string_view caption) {
    return Find([&](const TJobColumnInfo& c) { return caption == c.Caption; });
}

const char* JobColumnNames() {
    return "status, title, company, location, source, relevancy or notes";
}

}  // namespace tessaly
