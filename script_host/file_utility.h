// Reading script files: the whole file, UTF-8 converted to wide text.
#pragma once

#include <cstdint>
#include <string>

namespace Corvane::Script {

inline constexpr wchar_t kMsgEmptyFileName[] = L"Empty file name was passed";
inline constexpr wchar_t kMsgFileTooLarge[] = L"File '%s' is larger than %llu bytes; not read";
inline constexpr wchar_t kMsgFileUnreadable[] = L"Unable to read file '%s'";

class CFileUtility {
public:
    // Files above this are refused unread (scripts are kilobytes).
    static constexpr std::uint64_t kMaxFileSize = 16u * 1024 * 1024;

    // `path` is a system path (Windows or host form, macros already
    // expanded). Empty text when the path is empty, the file is missing,
    // unreadable or too large (each logged); malformed UTF-8 becomes U+FFFD.
    static std::wstring ReadFile(const std::wstring& path);
};

}  // namespace Corvane::Script
