// A settings file in memory: sections (optionally qualified by an edition), keys and
// text values, values of several lines. Used for options.box, id.box and config.box.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace tessaly {

struct TConfigItem {
    std::string Edition;  // qualifier of the item's section; empty for ordinary sections
    std::string Section;
    std::string Key;
    std::string Value;  // a multi-line value: each line followed by CR LF
};

// Why `text` cannot be a settings file ("" when it can): it holds no setting at all
// (empty, or blank lines and comments only), or a line that is neither a section, a
// comment nor a "key=value" line (binary bytes, a text of another kind).
std::string BoxTextProblem(const std::string& text);

class TConfigBox {
  public:
    // Reads the file into the box; a missing file loads nothing. Later lines replace
    // earlier values in place; Edition ends at the qualifier of the last key line.
    // Throws EFileError when the file exists but cannot be read.
    void LoadFromFile(const std::string& fileName);
    // When Modified: sorts the items, writes them and clears Modified. Throws EFileError
    // on failure; the previous file and the box are then unchanged. A `mode` of 0 or more
    // gives the file exactly those permissions (0600 for a box holding a password);
    // otherwise it keeps those of the file it replaces.
    void SaveToFile(const std::string& fileName, int mode = -1);

    std::string ReadString(const std::string& section, const std::string& key) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    std::string ReadLine(int index, const std::string& section, const std::string& key) const;

    // The box as the text SaveToFile writes (sorting the items first).
    std::string SaveToText();
    void LoadFromText(const std::string& text);

    const std::vector<TConfigItem>& Items() const { return items_; }

    std::string Edition;
    bool Modified = false;

  private:
    using TKey = std::tuple<std::string, std::string, std::string>;  // edition, section, key
    const TConfigItem* Find(const std::string& edition, const std::string& section,
                            const std::string& key) const;
    void Store(const std::string& section, const std::string& key, const std::string& value);
    void Reindex();

    std::vector<TConfigItem> items_;
    std::map<TKey, size_t> index_;
};

}  // namespace tessaly
