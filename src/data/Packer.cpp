#include "data/Packer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/ByteString.h"
#include "platform/TextFile.h"

namespace tessaly {
namespace {

constexpr std::size_t kFileHeaderSize = 21;
constexpr std::size_t kMemberHeaderSize = 25;
constexpr std::size_t kSmallestContainer = 45;
const char kSignature[5] = {'T', 'J', 'P', 'K', 26};
const char* const kMethodIds[5] = {"NON", "RLE", "LZH", "CUS", "LH5"};
const char* const kBadChecksum = "Bad checksum during expansion -- data may be invalid";
const char* const kTruncatedFile = "Compressed file is truncated or its sizes are wrong";

std::uint32_t U32(std::string_view b, std::size_t at) {
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}
std::uint16_t U16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8);
}
void Put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

std::string Lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::uint32_t Checksum(std::string_view data) {
    std::uint32_t sum = 0;
    for (unsigned char c : data)
        sum += c;
    return sum;
}

std::string StoredNameFor(const TPacker& packer, const std::string& file) {
    std::string name = packer.MemberNameFor(file);
    for (auto& c : name)
        if (c == '/') c = '\\';
    return name;
}

}  // namespace

std::string MethodIdentifier(std::uint8_t method) {
    return method < 5 ? kMethodIds[method] : std::to_string(method);
}

// ---- container format -------------------------------------------------------------------

TPackedMembers ParseContainer(std::string_view bytes) {
    TPackedMembers members;
    if (bytes.size() <= kSmallestContainer) return members;
    if (bytes.substr(0, 5) != std::string_view(kSignature, 5))
        throw EPackerError("Can't recognize compressed file header");
    const std::string id(bytes.substr(5, 3));
    if (bytes[12] != 1) throw EPackerError("Archive type must be multi-member");
    bool known = false;
    for (auto* m : kMethodIds)
        known = known || id == m;
    if (!known) throw EPackerError("Unrecognized compression method: \"" + id + "\" in header");
    std::size_t at = kFileHeaderSize;
    while (at < bytes.size()) {
        if (bytes.size() - at < kMemberHeaderSize) throw EPackerError(kTruncatedFile);
        TPackedMember m;
        const std::size_t nameLen = U16(bytes, at);
        m.dosDateTime = U32(bytes, at + 2);
        m.attributes = U16(bytes, at + 6);
        m.unpackedSize = U32(bytes, at + 8);
        m.packedSize = U32(bytes, at + 12);
        m.method = static_cast<std::uint8_t>(bytes[at + 16]);
        m.checksum = U32(bytes, at + 17);
        m.lock = U32(bytes, at + 21);
        at += kMemberHeaderSize;
        // Sizes are checked against what is really there before anything is taken.
        if (bytes.size() - at < nameLen) throw EPackerError(kTruncatedFile);
        m.name = std::string(bytes.substr(at, nameLen));
        at += nameLen;
        if (bytes.size() - at < m.packedSize) throw EPackerError(kTruncatedFile);
        m.dataOffset = at;
        at += m.packedSize;
        members.push_back(std::move(m));
    }
    return members;
}

void UnpackMember(std::string_view bytes, const TPackedMember& member, const TByteSink& sink) {
    if (member.dataOffset + member.packedSize > bytes.size()) throw EPackerError(kTruncatedFile);
    const std::string_view data = bytes.substr(member.dataOffset, member.packedSize);
    std::uint32_t sum = 0;
    std::uint64_t produced = 0;
    const TByteSink counting = [&](const char* d, std::size_t n) {
        sum += Checksum(std::string_view(d, n));
        produced += n;
        sink(d, n);
    };
    switch (member.method) {
        case 0:
            // A stored member holds exactly its bytes; anything else is a lying header.
            if (member.packedSize != member.unpackedSize) throw EPackerError(kBadChecksum);
            for (std::size_t i = 0; i < data.size(); i += 8192)
                counting(data.data() + i, std::min<std::size_t>(8192, data.size() - i));
            break;
        case 1:
            RleUnpack(data, member.unpackedSize, counting);
            break;
        case 4:
            Lh5Unpack(data, member.unpackedSize, counting);
            break;
        case 2:
            LzhUnpack(data, member.unpackedSize, counting);
            break;
        case 3:  // no custom method is supplied: such a member produces nothing
            throw EPackerError(kBadChecksum);
        default:
            throw EPackerError("Unrecognized compression method: \"" +
                               MethodIdentifier(member.method) + "\" in header");
    }
    if (produced != member.unpackedSize || sum != member.checksum) throw EPackerError(kBadChecksum);
}

std::string BuildContainer(std::string_view data, const std::string& memberName, TPackMethod method,
                           std::uint32_t dosDateTime, std::uint16_t attributes) {
    std::uint8_t used = static_cast<std::uint8_t>(method);
    std::string packed;
    if (method == TPackMethod::Lh5)
        packed = Lh5Pack(data);
    else if (method == TPackMethod::Rle)
        packed = RlePack(data);
    else
        used = 0;
    // Packing that grows the data is given up: the member is stored instead.
    if (used == 0 || packed.size() > data.size()) {
        used = 0;
        packed.assign(data);
    }
    std::string out(kSignature, 5);
    out += kMethodIds[used];
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out.push_back(1);
    Put32(out, 0);
    Put32(out, 0);
    Put16(out, static_cast<std::uint16_t>(memberName.size()));
    Put32(out, dosDateTime);
    Put16(out, attributes);
    Put32(out, static_cast<std::uint32_t>(data.size()));
    Put32(out, static_cast<std::uint32_t>(packed.size()));
    out.push_back(static_cast<char>(used));
    Put32(out, Checksum(data));
    Put32(out, 0);
    out += memberName;
    out += packed;
    return out;
}

// ---- run-length coding -------------------------------------------------------------------

std::string RlePack(std::string_view data) {
    std::string out;
    std::size_t i = 0;
    while (i < data.size()) {
        const char c = data[i];
        std::size_t run = 1;
        while (i + run < data.size() && data[i + run] == c && run < 255)
            ++run;
        if (static_cast<unsigned char>(c) == 148) {
            out += "\x94";
            out.push_back(0);
            i += 1;
            continue;
        }
        out.push_back(c);
        if (run >= 3) {
            out.push_back(static_cast<char>(148));
            out.push_back(static_cast<char>(run));
        } else if (run == 2) {
            out.push_back(c);
        }
        i += run;
    }
    return out;
}

void RleUnpack(std::string_view packed, std::uint64_t size, const TByteSink& sink) {
    std::string chunk;
    std::uint64_t produced = 0;
    unsigned char previous = 0;
    auto emit = [&](unsigned char b) {
        chunk.push_back(static_cast<char>(b));
        ++produced;
        if (chunk.size() == 8192) {
            sink(chunk.data(), chunk.size());
            chunk.clear();
        }
    };
    std::size_t i = 0;
    while (produced < size && i < packed.size()) {
        const unsigned char b = static_cast<unsigned char>(packed[i++]);
        if (b != 148) {
            emit(b);
        } else {
            if (i >= packed.size()) break;
            const unsigned char count = static_cast<unsigned char>(packed[i++]);
            if (count == 0)
                emit(148);
            else
                for (int k = 1; k < count && produced < size; ++k)
                    emit(previous);
        }
        previous = b;
    }
    if (!chunk.empty()) sink(chunk.data(), chunk.size());
}

// ---- names, dates ------------------------------------------------------------------------

std::string SafeMemberPath(const std::string& memberName) {
    std::string name = memberName;
    for (auto& c : name)
        if (c == '\\') c = '/';
    bool unsafe = name.empty() || name[0] == '/' ||
                  (name.size() >= 2 && name[1] == ':' && std::isalpha(std::uint8_t(name[0])));
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t slash = name.find('/', start);
        if (slash == std::string::npos) slash = name.size();
        const std::string part = name.substr(start, slash - start);
        if (part == "..") unsafe = true;
        if (!part.empty() && part != ".") parts.push_back(part);
        start = slash + 1;
    }
    if (parts.empty()) return "";
    if (unsafe) {
        std::string last = parts.back();
        if (last == ".." || (last.size() >= 2 && last[1] == ':')) return "";
        return last;
    }
    std::string out;
    for (auto& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

std::uint32_t DosDateTimeFromUnix(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    if (tm.tm_year < 80) return (1u << 5 | 1u) << 16;  // before 1980: 1 January 1980
    if (tm.tm_year > 207) tm.tm_year = 207;
    const std::uint32_t date = std::uint32_t(tm.tm_year - 80) << 9 |
                               std::uint32_t(tm.tm_mon + 1) << 5 | std::uint32_t(tm.tm_mday);
    const std::uint32_t time = std::uint32_t(tm.tm_hour) << 11 | std::uint32_t(tm.tm_min) << 5 |
                               std::uint32_t(tm.tm_sec / 2);
    return date << 16 | time;
}

std::int64_t UnixFromDosDateTime(std::uint32_t dos) {
    std::tm tm{};
    const std::uint32_t date = dos >> 16, time = dos & 0xFFFF;
    tm.tm_year = int(date >> 9) + 80;
    tm.tm_mon = int((date >> 5) & 15) - 1;
    tm.tm_mday = int(date & 31);
    tm.tm_hour = int(time >> 11);
    tm.tm_min = int((time >> 5) & 63);
    tm.tm_sec = int(time & 31) * 2;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// ---- TPacker ----------------------------------------------------------------------------

void TPacker::SetTargetPath(const std::string& path) {
    targetPath_ = path;
    if (!targetPath_.empty() && targetPath_.back() != '/' && targetPath_.back() != '\\')
        targetPath_ += '/';
}

std::string TPacker::MemberNameFor(const std::string& file) const {
    std::string name = file;
    if (!targetPath_.empty() && name.size() >= targetPath_.size() &&
        Lower(name.substr(0, targetPath_.size())) == Lower(targetPath_))
        name.erase(0, targetPath_.size());
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(std::uint8_t(name[0]))) name.erase(0, 2);
    return name;
}

void TPacker::ListMembers(const std::string& container, TPackedMembers& members) const {
    members = ParseContainer(ReadFileBytes(container));
}

namespace {

const TPackedMember* FindMember(const TPackedMembers& members, const std::string& name) {
    const std::string wanted = Lower(name);
    for (auto& m : members)
        if (Lower(m.name) == wanted) return &m;
    return nullptr;
}

}  // namespace

std::optional<std::string> TPacker::UnpackToMemory(const std::string& memberName,
                                                   const std::string& container,
                                                   std::size_t limit) const {
    const std::string bytes = ReadFileBytes(container);
    const TPackedMembers members = ParseContainer(bytes);
    const TPackedMember* m = FindMember(members, memberName);
    if (!m) return std::nullopt;
    if (m->unpackedSize > limit)
        throw EPackerError("Member too large to read into memory: " + m->name);
    std::string out;
    UnpackMember(bytes, *m, [&](const char* d, std::size_t n) { out.append(d, n); });
    return out;
}

std::string TPacker::Unpack(const std::string& memberName, const std::string& container) const {
    const std::string bytes = ReadFileBytes(container);
    const TPackedMembers members = ParseContainer(bytes);
    const TPackedMember* m = FindMember(members, memberName);
    if (!m) return "";
    const std::string relative = SafeMemberPath(m->name);
    if (relative.empty()) return "";
    const std::string target = targetPath_ + relative;
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(target).parent_path();
    if (makeDirectories && !dir.empty()) {
        std::error_code ec;
        fs::create_directories(dir, ec);
    }
    if (checkSpaceBeforeExpand) {
        struct statvfs st {};
        const std::string probe = dir.empty() ? "." : dir.string();
        if (statvfs(probe.c_str(), &st) == 0 &&
            std::uint64_t(st.f_bavail) * st.f_frsize < m->unpackedSize)
            throw EPackerError("Not enough disk space to expand " + target);
    }
    // The data goes to a temporary file that replaces the target only once it checked out.
    std::string temp = target + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        if (exceptionOnFileError)
            throw EFileError("Cannot create " + target + ": " + strerror(errno));
        return "";
    }
    bool writeFailed = false;
    try {
        UnpackMember(bytes, *m, [&](const char* d, std::size_t n) {
            while (n > 0 && !writeFailed) {
                const ssize_t w = ::write(fd, d, n);
                if (w <= 0) {
                    writeFailed = true;
                    break;
                }
                d += w;
                n -= static_cast<std::size_t>(w);
            }
        });
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (::close(fd) != 0 || writeFailed || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        if (exceptionOnFileError) throw EFileError("Cannot write " + target);
        return "";
    }
    mode_t mode = 0644;
    if (m->attributes & 1) mode = 0444;  // read-only
    ::chmod(target.c_str(), mode);
    const std::int64_t when = UnixFromDosDateTime(m->dosDateTime);
    struct timespec times[2] = {{static_cast<time_t>(when), 0}, {static_cast<time_t>(when), 0}};
    ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    return target;
}

std::string TPacker::Pack(const std::string& container, const std::string& file,
                          TPackMethod method) const {
    std::string data;
    struct stat st {};
    if (!TryReadFileBytes(file, data) || ::stat(file.c_str(), &st) != 0) {
        if (exceptionOnFileError) throw EFileError("Cannot open " + file + ": " + strerror(errno));
        return "";
    }
    if (data.size() > 0xFFFFFFFFu) throw EPackerError("File too large to pack: " + file);
    const std::string name = StoredNameFor(*this, file);
    std::uint16_t attributes = 0x20;
    if (!(st.st_mode & S_IWUSR)) attributes |= 1;
    std::string out =
        BuildContainer(data, name, method, DosDateTimeFromUnix(st.st_mtime), attributes);
    // Packing into an existing container keeps its other members: they are copied after
    // the new one, and the header's total counts them all. A file that is not a readable
    // container is simply replaced.
    std::string old;
    if (TryReadFileBytes(container, old)) {
        try {
            std::uint64_t total = data.size();
            for (const TPackedMember& m : ParseContainer(old)) {
                if (SameText(m.name, name)) continue;
                const std::size_t header = m.dataOffset - kMemberHeaderSize - m.name.size();
                out.append(old, header, m.dataOffset + m.packedSize - header);
                total += m.unpackedSize;
            }
            if (total > 0xFFFFFFFFu) throw EPackerError("Container too large: " + container);
            const auto t = static_cast<std::uint32_t>(total);
            for (int i = 0; i < 4; ++i)
                out[8 + i] = static_cast<char>(t >> (8 * i) & 0xFF);
        } catch (const EPackerError&) {
            // Not a container we can read: it is replaced by the new one.
        }
    }
    try {
        WriteFileAtomic(container, out);
    } catch (const EFileError&) {
        throw EPackerError("Disk protected or full during compression");
    }
    return name;
}

// ---- loader helpers ----------------------------------------------------------------------

std::optional<std::string> ReadPackedOrPlain(const std::string& path) {
    std::string bytes;
    if (!TryReadFileBytes(path, bytes)) return std::nullopt;
    // A file that begins like a container is one: when it cannot be unpacked it is
    // damaged, and reading its packed bytes as text would only hide that.
    if (bytes.compare(0, sizeof kSignature, kSignature, sizeof kSignature) != 0) return bytes;
    std::string reason = kTruncatedFile;
    try {
        const TPackedMembers members = ParseContainer(bytes);
        if (!members.empty() && members[0].unpackedSize <= TPacker::kMemoryLimit) {
            std::string out;
            UnpackMember(bytes, members[0],
                         [&](const char* d, std::size_t n) { out.append(d, n); });
            return out;
        }
        if (!members.empty()) reason = "its first member is too large";
    } catch (const EPackerError& e) {
        reason = e.what();
    }
    throw EPackerError(path + " is damaged: " + reason);
}

void PackBytesToFile(std::string_view bytes, const std::string& memberName,
                     const std::string& target, TPackMethod method) {
    const std::string out =
        BuildContainer(bytes, memberName, method, DosDateTimeFromUnix(std::time(nullptr)), 0x20);
    try {
        WriteFileAtomic(target, out);
    } catch (const EFileError&) {
        throw EPackerError("Disk protected or full during compression");
    }
}

}  // namespace tessaly
