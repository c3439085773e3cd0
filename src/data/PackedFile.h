// Reading and writing the files that the program stores packed: settings boxes and job
// tables. Readers accept the packed container and plain text alike; writers never
// touch the previous file until the new one is complete.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tessaly {

// The text of `path`: the first member of the container when the file is one,
// otherwise the file's own bytes. Throws EFileError when the file cannot be read.
std::string ReadStoredText(const std::string& path);

// Replaces `target` with `text`, packed ("LH5") or plain:
//   1. the text goes to `target` + ".tmp";
//   2. packed: that file is packed into `target` + ".new"; plain: it is used as it is;
//   3. the complete file is renamed over `target`.
// A failure at any step throws EFileError naming the file and the reason; the previous
// `target` is then untouched and no temporary file is left behind. The new file keeps the
// permissions of the one it replaces (0644 for a new one) unless `mode` (0 to 07777) is
// given: a file that may hold a password is always written with that mode.
void SaveTextSafely(const std::string& target, std::string_view text, bool packed, int mode = -1);

// Steps of SaveTextSafely at which a test can make the operation fail.
enum class TSaveStep { WriteTemp, Pack, Rename };

// Test seam: when set, called before each step; returning an errno value other than 0
// makes that step fail with it (as a full disk or a protected folder would). WriteTemp
// fails after half of the text was written, like a disk that fills up.
using TSaveFaultHook = std::function<int(TSaveStep step, const std::string& file)>;
void SetSaveFaultHook(TSaveFaultHook hook);

}  // namespace tessaly
