#include "cli/Json.h"

#include "platform/Utf8.h"

namespace tessaly::cli {
namespace {

// Bytes from 0x80 up are written as the characters `highAsUtf8` says: the UTF-8 bytes
// they are, or each one the code point of its value.
std::string Quote(std::string_view bytes, bool highAsUtf8) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        // U+0080 to U+009F are control characters too: escaped, as a terminal may act on them.
        if (highAsUtf8 && c == 0xC2 && i + 1 < bytes.size() &&
            static_cast<unsigned char>(bytes[i + 1]) < 0xA0) {
            const auto next = static_cast<unsigned char>(bytes[++i]);
            out += "\\u00";
            out += hex[next >> 4];
            out += hex[next & 15];
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7f || (!highAsUtf8 && c >= 0x80 && c < 0xA0)) {
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else if (c < 0x80 || highAsUtf8) {
                    out += static_cast<char>(c);
                } else {
                    // U+0080..U+00FF in UTF-8.
                    out += static_cast<char>(0xC0 | (c >> 6));
                    out += static_cast<char>(0x80 | (c & 0x3F));
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
    return Quote(bytes, false);
}

std::string JsonTextString(std::string_view utf8) {
    return Quote(Utf8FromStored(utf8), true);
}

void TJsonWriter::Separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) out_ += ", ";
        first_.back() = false;
    }
}

TJsonWriter& TJsonWriter::BeginObject() {
    Separate();
    out_ += '{';
    first_.push_back(true);
    return *this;
}

TJsonWriter& TJsonWriter::EndObject() {
    out_ += '}';
    first_.pop_back();
    return *this;
}

TJsonWriter& TJsonWriter::BeginArray() {
    Separate();
    out_ += '[';
    first_.push_back(true);
    return *this;
}

TJsonWriter& TJsonWriter::EndArray() {
    out_ += ']';
    first_.pop_back();
    return *this;
}

TJsonWriter& TJsonWriter::Key(std::string_view key) {
    Separate();
    out_ += JsonString(key);
    out_ += ": ";
    afterKey_ = true;
    return *this;
}

TJsonWriter& TJsonWriter::String(std::string_view bytes) {
    Separate();
    out_ += JsonString(bytes);
    return *this;
}

TJsonWriter& TJsonWriter::Utf8(std::string_view text) {
    Separate();
    out_ += JsonTextString(text);
    return *this;
}

TJsonWriter& TJsonWriter::Int(int64_t v) {
    Separate();
    out_ += std::to_string(v);
    return *this;
}

TJsonWriter& TJsonWriter::Bool(bool v) {
    Separate();
    out_ += v ? "true" : "false";
    return *this;
}

TJsonWriter& TJsonWriter::Null() {
    Separate();
    out_ += "null";
    return *this;
}

TJsonWriter& TJsonWriter::Strings(const std::vector<std::string>& list) {
    BeginArray();
    for (const auto& s : list)
        String(s);
    return EndArray();
}

}  // namespace tessaly::cli
