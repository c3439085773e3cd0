// Byte strings of the core shown in Qt and read back. Job texts come from many sites:
// some send UTF-8, most the Windows Latin-1 code page. A text that is valid UTF-8 is
// shown as UTF-8, anything else as Windows-1252 (bytes 0x80-0x9F as that code page
// defines them, undefined ones as their Latin-1 control characters, so every byte
// survives the round trip).
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

// Bytes for an edited text, written the way `sample` (the other texts it sits with)
// is written: UTF-8 when the sample holds non-ASCII UTF-8, else Windows-1252. A text
// that Windows-1252 cannot hold is written as UTF-8 rather than losing characters.
std::string ToBytesLike(const QString& text, std::string_view sample);

}  // namespace tessaly::ui
