#include "ui/OptionsRules.h"

#include "platform/ByteString.h"

namespace tessaly::ui {
namespace {

// The fields of a comma list, one per position; missing ones are empty.
std::vector<std::string> Fields(const std::string& list, int count) {
    std::vector<std::string> out;
    size_t at = 0;
    const std::string text = list + ",";
    for (int i = 0; i < count; ++i) {
        if (at >= text.size()) {
            out.emplace_back();
            continue;
        }
        const size_t comma = text.find(',', at);
        out.push_back(text.substr(at, comma - at));
        at = comma + 1;
    }
    return out;
}

}  // namespace

std::optional<std::vector<int>> ParseColumnOrder(const std::string& list, int tableSize) {
    std::vector<int> order;
    const std::vector<std::string> fields = Fields(list, tableSize);
    for (int i = 0; i < tableSize; ++i) {
        const int n = ParseIntOr(fields[static_cast<size_t>(i)], i);
        if (n < 0 || n >= tableSize) return std::nullopt;
        order.push_back(n);
    }
    return order;
}

std::vector<int> ParseColumnWidths(const std::string& list, int count) {
    std::vector<int> widths;
    for (const std::string& f : Fields(list, count)) {
        const int w = ParseIntOr(f, 70);
        widths.push_back(w < 0 ? 70 : w);  // a negative width would hide the column
    }
    return widths;
}

std::string JoinColumnList(const std::vector<int>& values) {
    std::string out;
    for (int v : values)
        out += std::to_string(v) + ",";
    return out;
}

std::optional<std::string> NormalisedPort(const std::string& text) {
    const std::optional<int32_t> n = ParseInt(text);
    if (!n) return std::nullopt;
    return std::to_string(*n);
}

}  // namespace tessaly::ui
