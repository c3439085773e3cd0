#include "platform/DateTime.h"

#include <clocale>

namespace tessaly {

namespace {
std::string Format(const char* fmt, std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[128];
    const size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
    return std::string(buf, n);
}
}  // namespace

std::string ShortDateText(std::time_t t) {
    return Format("%x", t);
}
std::string LongTimeText(std::time_t t) {
    return Format("%X", t);
}
std::string DateTimeText(std::time_t t) {
    return ShortDateText(t) + " @ " + LongTimeText(t);
}
std::string NowText() {
    return DateTimeText(std::time(nullptr));
}

void InitLocaleFromEnvironment() {
    std::setlocale(LC_TIME, "");
}

}  // namespace tessaly
