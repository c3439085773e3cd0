#include "data/ConfigBox.h"

#include <algorithm>

#include "data/PackedFile.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly {

namespace {

// Values holding any line end are written in the multi-line form, so a stray LF can
// never turn the rest of a value into a key line of its own.
bool NeedsFrame(const std::string& value) {
    return value.find('\n') != std::string::npos || value == ">>>";
}

bool HasControlByte(const std::string& line) {
    return std::any_of(line.begin(), line.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

}  // namespace

std::string BoxTextProblem(const std::string& text) {
    const TStrings lines = SplitLines(text);
    bool settings = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ';') continue;
        const bool section = line[0] == '[' && line.find(']') != std::string::npos;
        if (HasControlByte(line) || (!section && line.find('=') == std::string::npos))
            return "line " + IntToStr(static_cast<int64_t>(i + 1)) + " is no setting";
        if (section) continue;
        settings = true;
        if (line.substr(line.find('=') + 1) == ">>>") {
            // The lines of the value are text, up to the closing line.
            while (i + 1 < lines.size() && lines[i + 1] != "<<<")
                ++i;
            ++i;
        }
    }
    return settings ? std::string() : "it holds no settings";
}

const TConfigItem* TConfigBox::Find(const std::string& edition, const std::string& section,
                                    const std::string& key) const {
    auto it = index_.find(TKey{edition, section, key});
    return it == index_.end() ? nullptr : &items_[it->second];
}

void TConfigBox::Store(const std::string& section, const std::string& key,
                       const std::string& value) {
    auto [it, added] = index_.emplace(TKey{Edition, section, key}, items_.size());
    if (added)
        items_.push_back(TConfigItem{Edition, section, key, value});
    else
        items_[it->second].Value = value;
}

void TConfigBox::Reindex() {
    index_.clear();
    for (size_t i = 0; i < items_.size(); ++i)
        index_.emplace(TKey{items_[i].Edition, items_[i].Section, items_[i].Key}, i);
}

std::string TConfigBox::ReadString(const std::string& section, const std::string& key) const {
    // The first item in the box's order among the unqualified and the edition's one.
    const TConfigItem* plain = Find("", section, key);
    const TConfigItem* qualified = Edition.empty() ? nullptr : Find(Edition, section, key);
    const TConfigItem* hit = plain;
    if (qualified && (!hit || qualified < hit)) hit = qualified;
    return hit ? hit->Value : std::string();
}

void TConfigBox::WriteString(const std::string& section, const std::string& key,
                             const std::string& value) {
    Store(section, key, value);
    Modified = true;
}

std::string TConfigBox::ReadLine(int index, const std::string& section,
                                 const std::string& key) const {
    if (index < 0) return {};
    const TStrings lines = SplitLines(ReadString(section, key));
    return static_cast<size_t>(index) < lines.size() ? lines[static_cast<size_t>(index)]
                                                     : std::string();
}

void TConfigBox::LoadFromText(const std::string& text) {
    const TStrings lines = SplitLines(text);
    std::string section, qualifier;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            std::string head = close == std::string::npos ? "" : line.substr(1, close - 1);
            const size_t comma = head.find(',');
            if (comma == std::string::npos) {
                section = head;
                qualifier.clear();
            } else {
                section = head.substr(0, comma);
                qualifier = head.substr(comma + 1);
            }
            continue;
        }
        const size_t eq = line.find('=');
        std::string key = eq == std::string::npos ? "" : line.substr(0, eq);
        std::string value = eq == std::string::npos ? line : line.substr(eq + 1);
        if (value == ">>>") {
            // Up to the closing line, or the end of the file when it is missing.
            value.clear();
            for (++i; i < lines.size() && lines[i] != "<<<"; ++i)
                value += lines[i] + "\r\n";
        }
        Edition = qualifier;
        Store(section, key, value);
    }
    Modified = false;
}

void TConfigBox::LoadFromFile(const std::string& fileName) {
    if (FileExists(fileName)) LoadFromText(ReadStoredText(fileName));
    Modified = false;
}

std::string TConfigBox::SaveToText() {
    auto sortKey = [](const TConfigItem& i) { return i.Section + i.Edition + i.Key; };
    // Distinct triples can join to the same text; the triple then decides, so the written
    // order never depends on the sort's whims.
    std::sort(items_.begin(), items_.end(), [&](const TConfigItem& a, const TConfigItem& b) {
        const std::string ka = sortKey(a), kb = sortKey(b);
        if (ka != kb) return ka < kb;
        return std::tie(a.Section, a.Edition, a.Key) < std::tie(b.Section, b.Edition, b.Key);
    });
    Reindex();
    TStrings out;
    std::string section, qualifier;
    for (const TConfigItem& item : items_) {
        if (item.Section != section || item.Edition != qualifier) {
            section = item.Section;
            qualifier = item.Edition;
            out.emplace_back();
            out.push_back("[" + section + (qualifier.empty() ? "" : "," + qualifier) + "]");
        }
        if (!NeedsFrame(item.Value)) {
            out.push_back(item.Key + "=" + item.Value);
            continue;
        }
        out.push_back(item.Key + "=>>>");
        for (const std::string& l : SplitLines(item.Value))
            if (!l.empty()) out.push_back(l);
        out.push_back("<<<");
    }
    return JoinLinesCrLf(out);
}

void TConfigBox::SaveToFile(const std::string& fileName, int mode) {
    if (!Modified) return;
    SaveTextSafely(fileName, SaveToText(), true, mode);
    Modified = false;
}

}  // namespace tessaly
