// The facts of one log line that a logger adds around the message
// (CLoggingIf_ex::FillRecord).
#pragma once

#include <cstdint>
#include <string>

namespace ETWLogging {

struct LogRecord {
    std::uint32_t process_id = 0;
    std::uint32_t thread_id = 0;
    std::wstring image_name;
    std::wstring file;
    std::wstring function;
    std::uint32_t line = 0;
    std::wstring group;
    std::wstring module_file_name;  // filled only when still empty
    std::wstring module_file_version;
};

}  // namespace ETWLogging
