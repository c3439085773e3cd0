// Texts of the core shown in Qt and read back. The core's texts are UTF-8; bytes that are
// not (settings and definitions of the first versions, in the Windows Latin-1 code page)
// are shown as Windows-1252 (bytes 0x80-0x9F as that code page defines them, undefined
// ones as their Latin-1 control characters, so every byte survives the round trip).
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/Utf8.h"

namespace tessaly::ui {

using tessaly::IsValidUtf8;

QString FromBytes(std::string_view bytes);

// Windows-1252 bytes of `text`; false (and `out` untouched) when a character has no
// byte in that code page.
bool ToWindows1252(const QString& text, std::string& out);

// The stored form of an edited text: UTF-8, as every text the program stores. A text
// stored before in Windows-1252 beside it (`sample`) is read as that code page wherever
// it is loaded, so the two mix safely; the sample no longer changes the form.
std::string ToBytesLike(const QString& text, std::string_view sample);

}  // namespace tessaly::ui
