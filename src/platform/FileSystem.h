#pragma once

#include "platform/Failure.h"

#include <string>
#include <vector>

// The file-system service the handlers call by path. Nothing here throws: every failure comes
// back as a value that names the path it concerns.
namespace trawlmeter::fs {

// True exactly when a regular file (links followed) exists at `path`.
bool FileExists(const std::string& path);

// True when anything exists at `path` (links followed: a dangling link names nothing).
bool PathExists(const std::string& path);

// True when `path` itself is a symbolic link; on Windows any reparse point (a junction, a mount
// point) as well, since each leads elsewhere.
bool IsLink(const std::string& path);

// True exactly when a folder (links followed) exists at `path`.
bool FolderExists(const std::string& path);

// Whether `path` is `folder` or lies anywhere inside it, however either is spelled: both are made
// absolute and every link in them is resolved as far as they exist, so a relative path, "..", or
// a link to the folder or to one above it all count.
bool LiesWithin(const std::string& path, const std::string& folder);

// Creates one folder whose parent exists.
[[nodiscard]] Expected<void> CreateFolder(const std::string& path);

// Removes the folder with everything in it. Write-protected files (no write bit at all, or
// Windows' read-only attribute) are not forced: they stay, with the folders that hold them, and
// the first refusal is returned. Links, inside the folder or naming it, are removed themselves,
// never what they point to. A path that is not a folder is refused.
[[nodiscard]] Expected<void> DeleteFolder(const std::string& path);

// Removes one file (a link: the link itself); a write-protected file is not forced and a
// folder is refused.
[[nodiscard]] Expected<void> DeleteFile(const std::string& path);

// Removes the name `path` itself, whatever its rights: a file, or a link (never what it points
// to); a folder is refused.
[[nodiscard]] Expected<void> RemoveEntry(const std::string& path);

// Gives the file `from` the name `to` in the same folder, over whatever had it, at once: a
// reader sees the old file or the new one, never neither. A failure names `to`.
[[nodiscard]] Expected<void> MoveReplacing(const std::string& from, const std::string& to);

// Gives the file `from` the name `to` only where nothing has that name yet, at once: false,
// with `from` left as it was, when something has it.
[[nodiscard]] Expected<bool> MoveIfFree(const std::string& from, const std::string& to);

// Makes `path` an empty folder: creates it, or empties the folder that is there (every entry
// directly inside it goes, write-protected files too, links as links). Refuses a link
// (Problem::IsASymbolicLink) or anything but a folder (Problem::NotAFolder) at `path` without
// touching it; a failure names the first entry that could not be removed.
[[nodiscard]] Expected<void> MakeEmptyFolder(const std::string& path);

// The user's folder for temporary files, without a trailing separator unless it is a root.
[[nodiscard]] Expected<std::string> TemporaryFolder();

// The names of the regular files (links followed) directly in a folder, in the platform's
// order; subfolders and other entries are left out.
[[nodiscard]] Expected<std::vector<std::string>> ListFiles(const std::string& folder);

} // namespace trawlmeter::fs
