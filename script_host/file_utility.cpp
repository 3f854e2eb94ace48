#include "script_host/file_utility.h"

#include <filesystem>
#include <fstream>
#include <algorithm>

#include "platform/logging/process_logger.h"
#include "platform/system/paths.h"
#include "platform/text/utf.h"

namespace Corvane::Script {
namespace {

constexpr wchar_t kFile[] = L"file_utility.cpp";
constexpr wchar_t kFunction[] = L"CFileUtility::ReadFile";

template <typename... A>
void log_failure(int line, const wchar_t* format, const A&... args) {
    if (IsLogLevelEnabled(rk::log_level::kCritical)) {
        LogMessage(rk::log_level::kCritical, kFile, kFunction, line, format, args...);
    }
}

}  // namespace

std::wstring CFileUtility::ReadFile(const std::wstring& path) {
    if (path.empty()) {
        log_failure(__LINE__, kMsgEmptyFileName);
        return {};
    }
    const auto host = rk::sys::to_host_path(path);
    std::error_code ec;
    const auto size = host ? std::filesystem::file_size(*host, ec) : 0;
    if (!host || ec) {
        log_failure(__LINE__, kMsgFileUnreadable, path);
        return {};
    }
    if (size > kMaxFileSize) {
        log_failure(__LINE__, kMsgFileTooLarge, path, static_cast<unsigned long long>(kMaxFileSize));
        return {};
    }
    std::ifstream in(*host, std::ios::binary);
    // One byte more than allowed, to see a file that grew since it was measured.
    std::string bytes(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kMaxFileSize) + 1), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || !in.is_open()) {
        log_failure(__LINE__, kMsgFileUnreadable, path);
        return {};
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxFileSize) {
        log_failure(__LINE__, kMsgFileTooLarge, path, static_cast<unsigned long long>(kMaxFileSize));
        return {};
    }
    return rk::text::utf8_to_wide(bytes);
}

}  // namespace Corvane::Script
