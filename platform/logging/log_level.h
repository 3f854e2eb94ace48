// The six logging levels: the numbers callers pass, their names (used by the
// file logger's lines) and the level an ETW event carries.
#pragma once

#include <cstdint>

using LogLevel = std::uint32_t;

namespace rk::log_level {

inline constexpr LogLevel kNormal = 1;
inline constexpr LogLevel kWarning = 2;
inline constexpr LogLevel kInformation = 3;
inline constexpr LogLevel kError = 4;
inline constexpr LogLevel kCritical = 5;
inline constexpr LogLevel kProgress = 6;  // named "Information", ETW level 3

inline constexpr LogLevel kMinLevel = kNormal;
inline constexpr LogLevel kMaxLevel = kProgress;

// Severity a logger starts with; level 3 passes at any severity.
inline constexpr LogLevel kDefaultSeverity = kInformation;

inline constexpr const wchar_t* kNameNormal = L"Normal";
inline constexpr const wchar_t* kNameWarning = L"Warning";
inline constexpr const wchar_t* kNameInformation = L"Information";
inline constexpr const wchar_t* kNameError = L"Error";
inline constexpr const wchar_t* kNameCritical = L"Critical";

constexpr bool is_valid(LogLevel level) { return level >= kMinLevel && level <= kMaxLevel; }

// The level's name, or nullptr outside 1 to 6 (the file logger refuses those).
constexpr const wchar_t* name(LogLevel level) {
    switch (level) {
        case kNormal: return kNameNormal;
        case kWarning: return kNameWarning;
        case kInformation: return kNameInformation;
        case kError: return kNameError;
        case kCritical: return kNameCritical;
        case kProgress: return kNameInformation;
        default: return nullptr;
    }
}

// ETW event level: progress (6) travels as information (3), the rest as is.
constexpr LogLevel etw_level(LogLevel level) { return level == kProgress ? kInformation : level; }

// Severity is clamped on every set: 0 becomes 1, values above 6 become 6.
constexpr LogLevel clamp_severity(LogLevel severity) {
    if (severity < kMinLevel) return kMinLevel;
    if (severity > kMaxLevel) return kMaxLevel;
    return severity;
}

// The ETW logger's filter: at or above the severity, and level 3 always.
constexpr bool passes_filter(LogLevel level, LogLevel severity) {
    return level >= severity || level == kInformation;
}

}  // namespace rk::log_level
