// Machine-readable output. The workbench commands write byte strings as JSON strings of
// code points 0-255 (the Latin-1 reading of the bytes), so any byte survives a round trip
// through a JSON reader. Output for users (listings, exports) holds texts as the Unicode
// strings they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly::cli {

// `bytes` as a quoted JSON string of code points 0-255.
std::string JsonString(std::string_view bytes);

// A UTF-8 text as a quoted JSON string of its characters (a text that is not UTF-8 is
// read as Windows-1252 first).
std::string JsonTextString(std::string_view utf8);

// A small writer for objects and arrays, written in order, without pretty printing
// except one space after ':' and ','.
class TJsonWriter {
  public:
    TJsonWriter& BeginObject();
    TJsonWriter& EndObject();
    TJsonWriter& BeginArray();
    TJsonWriter& EndArray();
    TJsonWriter& Key(std::string_view key);
    TJsonWriter& String(std::string_view bytes);  // bytes as code points 0-255
    TJsonWriter& Utf8(std::string_view text);     // a text as its characters
    TJsonWriter& Int(int64_t v);
    TJsonWriter& Bool(bool v);
    TJsonWriter& Null();
    TJsonWriter& Strings(const std::vector<std::string>& list);
    const std::string& Text() const { return out_; }

  private:
    void Separate();
    std::string out_;
    std::vector<bool> first_;  // per open container: nothing written yet
    bool afterKey_ = false;
};

}  // namespace tessaly::cli
