#include "ui/QtText.h"

#include <cstdint>

#include "platform/Utf8.h"

namespace tessaly::ui {

QString FromBytes(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (unsigned char c : bytes)
        out.append(QChar(static_cast<char16_t>(Cp1252ToUnicode(c))));
    return out;
}

bool ToWindows1252(const QString& text, std::string& out) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (QChar qc : text) {
        const int b = UnicodeToCp1252(qc.unicode());
        if (b < 0) return false;
        bytes.push_back(static_cast<char>(b));
    }
    out = std::move(bytes);
    return true;
}

std::string ToBytesLike(const QString& text, std::string_view /*sample*/) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

}  // namespace tessaly::ui
