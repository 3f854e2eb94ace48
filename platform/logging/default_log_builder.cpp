#include "platform/logging/default_log_builder.h"

#include <new>

#include "platform/logging/development_logging.h"

namespace ETWLogging {

CDefaultLogBuilder::CDefaultLogBuilder()
    : CDefaultLogBuilder([] { return std::make_unique<CDevelopmentLogging>(CDevelopmentLogging::OutputFromEnvironment()); }) {}

CDefaultLogBuilder::CDefaultLogBuilder(LoggerFactory factory) : factory_(std::move(factory)) {}

rk::DWORD CDefaultLogBuilder::Build(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                                    rk::DWORD mechanism, std::unique_ptr<CLoggingIf>& out) {
    return Build_ex(nullptr, group, module, host, mechanism, out, nullptr);
}

rk::DWORD CDefaultLogBuilder::Build_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                                       const wchar_t* host, rk::DWORD /*mechanism*/,
                                       std::unique_ptr<CLoggingIf>& out,
                                       const LoggingSettingsIf* /*settingsSource*/) {
    if (out != nullptr) {
        return rk::win::kErrorInvalidState;
    }
    if ((group != nullptr && group[0] == L'\0') || (host != nullptr && host[0] == L'\0')) {
        return rk::win::kErrorInvalidParameter;
    }
    try {
        std::unique_ptr<CLoggingIf_ex> logger = factory_ ? factory_() : nullptr;
        if (logger == nullptr) {
            return rk::win::kErrorNotEnoughMemory;
        }
        rk::DWORD result = logger->Initialize_ex(applicationName, group, module, host, nullptr);
        if (result != rk::win::kErrorSuccess) {
            result = logger->Initialize(group, module, host, 0);
        }
        if (result != rk::win::kErrorSuccess) {
            return result;
        }
        logger->AddRef();
        out = std::move(logger);
        return rk::win::kErrorSuccess;
    } catch (const std::bad_alloc&) {
        return rk::win::kErrorNotEnoughMemory;
    }
}

}  // namespace ETWLogging
