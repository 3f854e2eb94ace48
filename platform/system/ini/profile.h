// The Windows INI profile functions over files (Windows names kept, in
// namespace rk::sys::ini). Section and key names are case-insensitive;
// comments and every other line are kept; a write rewrites the whole file
// atomically (a temporary file in the same folder, then a rename), in the
// file's own encoding: UTF-16LE with BOM, UTF-8 with BOM, or BOM-less
// UTF-8/ANSI; a new file is BOM-less UTF-8 with CR LF line ends.
// File names are system paths (rk::sys::to_host_path); a relative name is
// relative to the current folder.
//
// As on Windows, failures leave their error number for profile_last_error()
// (2 file or section/key missing, 3 folder missing, 5 not writable or a
// folder, 13 bad struct data or not a regular file, 87 bad argument, 161 bad
// path, 223 a file over kMaxFileBytes, which is neither read nor rewritten).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/errors/win_error.h"

namespace rk::sys::ini {

// Profile files are configuration, a few KiB; a larger one is not read.
inline constexpr std::size_t kMaxFileBytes = 1024 * 1024;

// Windows' GetLastError() for the calls of this thread.
DWORD profile_last_error();

// app null: the section names, key null: the key names of `app`, each ended
// by '\0', the list by another; a list cut short ends in two '\0' and returns
// size - 2. Otherwise the key's value (surrounding matching quotes removed)
// or `defaultValue` (trailing blanks removed), cut to size - 1 characters.
// Returns the characters copied, terminator excluded.
DWORD GetPrivateProfileStringW(const wchar_t* app, const wchar_t* key, const wchar_t* defaultValue,
                               wchar_t* returned, DWORD size, const wchar_t* fileName);

// key null deletes the section, value null deletes the key.
bool WritePrivateProfileStringW(const wchar_t* app, const wchar_t* key, const wchar_t* value,
                                const wchar_t* fileName);

// The data as upper-case hex digits followed by a checksum byte (sum of the
// bytes modulo 256); reading demands exactly that length and checksum.
bool GetPrivateProfileStructW(const wchar_t* app, const wchar_t* key, void* data, std::uint32_t size,
                              const wchar_t* fileName);
bool WritePrivateProfileStructW(const wchar_t* app, const wchar_t* key, const void* data, std::uint32_t size,
                                const wchar_t* fileName);

// The "key=value" (and other non-comment) lines of a section, trimmed, each
// ended by '\0', the list by another; cut short: size - 2.
DWORD GetPrivateProfileSectionW(const wchar_t* app, wchar_t* returned, DWORD size, const wchar_t* fileName);

}  // namespace rk::sys::ini
