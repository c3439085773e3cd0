// Date and time texts in the user's locale: the short date, " @ ", and the long time.
#pragma once

#include <ctime>
#include <string>

namespace tessaly {

// "short date @ long time" for `t` (now when omitted), from the C library's locale
// (LC_TIME as the environment sets it; see InitLocaleFromEnvironment).
std::string DateTimeText(std::time_t t);
std::string NowText();
std::string ShortDateText(std::time_t t);
std::string LongTimeText(std::time_t t);

// Takes LC_TIME from the environment once; the front-ends call this at start-up.
// Other categories stay "C" so that number formatting never depends on the locale.
void InitLocaleFromEnvironment();

}  // namespace tessaly
