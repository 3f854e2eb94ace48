// ETWLogging::internal::LogFile: one open log file of the file logger
// (CreateFileW for reading and writing, shared, archive and normal
// attributes). Closed by the destructor.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/errors/win_error.h"

namespace ETWLogging::internal {

class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile();

    // Whether the file exists (2/3 when not) and its size.
    static rk::DWORD Size(const std::wstring& path, std::uint64_t& size);

    // Opens an existing file and moves to its end (OPEN_EXISTING).
    rk::DWORD OpenForAppend(const std::wstring& path);
    // Creates the file anew, truncating it (CREATE_ALWAYS).
    rk::DWORD Create(const std::wstring& path);

    // Writes all bytes at the end; on a failure (a full disk) the file is cut
    // back to its size before the write, so no half line remains.
    rk::DWORD Append(std::span<const std::uint8_t> bytes);
    void Close();
    bool is_open() const { return fd_ >= 0; }

private:
    rk::DWORD OpenWith(const std::wstring& path, int flags);
    int fd_ = -1;
};

}  // namespace ETWLogging::internal
