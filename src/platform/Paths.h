// Paths and small file-system queries. Paths are byte strings joined with "/".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

inline constexpr char kPathSep = '/';

// Joins with exactly one separator between the parts.
std::string JoinPath(std::string_view dir, std::string_view name);
// The part after the last separator.
std::string BaseName(std::string_view path);
// The part before the last separator ("" when there is none).
std::string DirName(std::string_view path);

bool FileExists(const std::string& path);       // a regular file (or a link to one)
bool DirectoryExists(const std::string& path);  // a directory
bool PathExists(const std::string& path);
// Creates the directory and missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
// Removes a file; true when it is gone afterwards.
bool DeleteFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);
// Names (not paths) of the entries of a directory, sorted; empty when unreadable.
std::vector<std::string> ListDirectory(const std::string& path);
// Free bytes for an unprivileged user on the file system holding `path`, -1 if unknown.
int64_t FreeDiskSpace(const std::string& path);
// The directory of the running executable.
std::string ExecutableDirectory();

}  // namespace tessaly
