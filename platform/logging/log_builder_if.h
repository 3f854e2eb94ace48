// ETWLogging::CLogBuilderIf: the logger factory.
#pragma once

#include <memory>

#include "platform/errors/win_error.h"
#include "platform/logging/logging_if.h"

namespace ETWLogging {

// Values of the mechanism override and of the "Logging Mechanism" setting.
inline constexpr rk::DWORD kMechanismDefault = 0;  // decided by the setting; ETW unless it is 1
inline constexpr rk::DWORD kMechanismFile = 1;

inline constexpr const wchar_t* kLoggingMechanismValue = L"Logging Mechanism";

class CLogBuilderIf {
public:
    CLogBuilderIf() = default;
    CLogBuilderIf(const CLogBuilderIf&) = delete;
    CLogBuilderIf& operator=(const CLogBuilderIf&) = delete;
    virtual ~CLogBuilderIf() = default;

    // Builds a logger into `out`, which must be empty. On failure `out` stays
    // empty and the result says why.
    virtual rk::DWORD Build(const wchar_t* group, ModuleHandle module, const wchar_t* host, rk::DWORD mechanism,
                            std::unique_ptr<CLoggingIf>& out) = 0;
};

}  // namespace ETWLogging
