// The packed container: a 21-byte file header, then for each member a 25-byte header, the
// member's name and its packed data. The program writes one-member containers packed with
// "LH5" (the standard -lh5- stream) or stored, and reads those plus "RLE" members that come
// from elsewhere. Unpacking never writes outside the target directory, and no size read
// from a container is trusted for more than the container file can really hold.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// A container that cannot be read or written; the message says why.
class EPackerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class TPackMethod : std::uint8_t { None = 0, Rle = 1, Lzh = 2, Custom = 3, Lh5 = 4 };

// Three-letter identifier of a method number ("NON", "RLE", "LZH", "CUS", "LH5").
std::string MethodIdentifier(std::uint8_t method);

struct TPackedMember {
    std::string name;
    std::uint32_t dosDateTime = 0;  // date in the high word, time in the low word
    std::uint16_t attributes = 0;
    std::uint32_t unpackedSize = 0;
    std::uint32_t packedSize = 0;
    std::uint8_t method = 0;
    std::uint32_t checksum = 0;
    std::uint32_t lock = 0;
    std::uint64_t dataOffset = 0;  // where the packed data starts in the container
};

using TPackedMembers = std::vector<TPackedMember>;
// Receives unpacked bytes in pieces of at most 8192 bytes.
using TByteSink = std::function<void(const char* data, std::size_t size)>;

class TPacker {
  public:
    const std::string& TargetPath() const { return targetPath_; }
    // Empty means the current directory; otherwise a trailing "/" is added when missing.
    void SetTargetPath(const std::string& path);

    bool makeDirectories = false;
    bool exceptionOnFileError = false;
    bool checkSpaceBeforeExpand = false;

    // Fills `members` with the container's members in file order. A file of 45 bytes or
    // less lists as empty. Throws EPackerError on a file that is not a sound container.
    void ListMembers(const std::string& container, TPackedMembers& members) const;

    // Unpacks the member (name compared without regard to case) below TargetPath and gives
    // back the full name of the file written; empty when there is no such member or (unless
    // exceptionOnFileError) the file cannot be created.
    std::string Unpack(const std::string& memberName, const std::string& container) const;

    // Unpacks the member into memory; nullopt when there is no such member. Members larger
    // than `limit` are refused with an error.
    std::optional<std::string> UnpackToMemory(const std::string& memberName,
                                              const std::string& container,
                                              std::size_t limit = kMemoryLimit) const;

    // Writes a new container holding `file` and gives back the member name used; empty when
    // the file cannot be read (unless exceptionOnFileError, which raises instead).
    std::string Pack(const std::string& container, const std::string& file,
                     TPackMethod method = TPackMethod::Lh5) const;

    // The name a file is stored under: TargetPath (any case) and a drive letter cut off.
    std::string MemberNameFor(const std::string& file) const;

    static void ReleaseMembers(TPackedMembers& members) { members.clear(); }

    static constexpr std::size_t kMemoryLimit = 256u << 20;

  private:
    std::string targetPath_;
};

// Parses a whole container held in memory.
TPackedMembers ParseContainer(std::string_view bytes);
// Builds a one-member container around `data`, packed with `method` (falling back to
// stored when packing does not make the data smaller).
std::string BuildContainer(std::string_view data, const std::string& memberName, TPackMethod method,
                           std::uint32_t dosDateTime, std::uint16_t attributes);
// Unpacks one listed member of `bytes` into `sink`; checks the checksum.
void UnpackMember(std::string_view bytes, const TPackedMember& member, const TByteSink& sink);

// The -lh5- stream: packs `data`; unpacks exactly `size` bytes from `packed`.
std::string Lh5Pack(std::string_view data);
void Lh5Unpack(std::string_view packed, std::uint64_t size, const TByteSink& sink);
std::string Lh5UnpackToString(std::string_view packed, std::uint64_t size);
// The adaptive-Huffman LZSS method; unpacking only (the program never writes it).
void LzhUnpack(std::string_view packed, std::uint64_t size, const TByteSink& sink);
// Run-length coding with the escape byte 148.
std::string RlePack(std::string_view data);
void RleUnpack(std::string_view packed, std::uint64_t size, const TByteSink& sink);

// The name a member is unpacked to below the target directory: backslashes become "/",
// and a name that is absolute, carries a drive letter or holds a ".." component keeps only
// its last component. Empty when nothing usable is left.
std::string SafeMemberPath(const std::string& memberName);

// MS-DOS packed date and time of a Unix time (local time), and back.
std::uint32_t DosDateTimeFromUnix(std::int64_t seconds);
std::int64_t UnixFromDosDateTime(std::uint32_t dosDateTime);

// A container's first member, read into memory without leaving files behind, or else the
// file's own bytes; nullopt when the file cannot be read at all. A file that begins with
// the container's signature but cannot be unpacked throws EPackerError naming the file.
std::optional<std::string> ReadPackedOrPlain(const std::string& path);
// Packs `bytes` as one member called `memberName` (LH5, or stored when that is not smaller)
// and replaces `target` atomically. Throws EPackerError on a write failure.
void PackBytesToFile(std::string_view bytes, const std::string& memberName,
                     const std::string& target, TPackMethod method = TPackMethod::Lh5);

}  // namespace tessaly
