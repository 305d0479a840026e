// Small file helpers over the operating system's own calls.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tov {

// An existing file that is not a folder. A failed query counts as "not there".
bool isFile(const std::wstring& path);
bool isDirectory(const std::wstring& path);
// Creates one folder level; an existing folder is success.
bool createDirectory(const std::wstring& path);
bool readFile(const std::wstring& path, std::string& out);
// Replaces the file with the given bytes.
bool writeFile(const std::wstring& path, std::string_view data);
bool deleteFile(const std::wstring& path);
// Renames or moves; with replace, an existing target is overwritten (MoveFileExW semantics).
bool moveFile(const std::wstring& from, const std::wstring& to, bool replace);
// Deletes a folder with everything in it; a missing folder is success.
bool removeTree(const std::wstring& path);
// Names (not paths) of the plain files directly in a folder, in no particular order; empty when
// the folder is missing or unreadable.
std::vector<std::wstring> listFiles(const std::wstring& folder);
// Size in bytes, or -1.
int64_t fileSize(const std::wstring& path);
// fopen that lets other programs read and write the file while it is open. "wt" gives CR LF
// line ends on Windows.
FILE* openSharedFile(const std::wstring& path, const wchar_t* mode);
// Moves an open file's position to a byte offset from its start (files past 4 GB too).
bool seekFile(FILE* file, int64_t offset);
// Hands what the C library buffers to the system and waits until the system has handed the
// file's data to the disk (fsync, FlushFileBuffers). A disk with a volatile write cache of its
// own may still hold it there.
bool flushToDisk(FILE* file);

}  // namespace tov
