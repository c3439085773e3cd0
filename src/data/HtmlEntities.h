// The named character references of HTML ("amp", "rsquo", "hellip", ...), without their
// "&" and ";". Names are case-sensitive; a few stand for two characters.
#pragma once

#include <cstddef>
#include <string_view>

namespace tessaly {

struct THtmlEntity {
    std::string_view name;
    char32_t first;
    char32_t second;  // 0 for a name that stands for one character
};

// The entry for `name` (exactly so written), or null.
const THtmlEntity* FindHtmlEntity(std::string_view name);

// How many names the table holds.
size_t HtmlEntityCount();

}  // namespace tessaly
