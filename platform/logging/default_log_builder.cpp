#include "platform/logging/default_log_builder.h"

#include <new>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/logging/etw_logging.h"
#include "platform/logging/file_logging.h"

namespace ETWLogging {

CDefaultLogBuilder::CDefaultLogBuilder()
    : CDefaultLogBuilder([] { return std::make_unique<CETWLogging>(); },
                         [] { return std::make_unique<CLogging>(); }) {}

CDefaultLogBuilder::CDefaultLogBuilder(LoggerFactory factory)
    : etw_factory_(factory), file_factory_([factory]() -> std::unique_ptr<CLoggingIf> { return factory(); }) {}

CDefaultLogBuilder::CDefaultLogBuilder(LoggerFactory etwFactory, FileLoggerFactory fileFactory)
    : etw_factory_(std::move(etwFactory)), file_factory_(std::move(fileFactory)) {}

rk::DWORD CDefaultLogBuilder::Build(const wchar_t* group, ModuleHandle module, const wchar_t* host,
                                    rk::DWORD mechanism, std::unique_ptr<CLoggingIf>& out) {
    return Build_ex(nullptr, group, module, host, mechanism, out, nullptr);
}

std::optional<rk::DWORD> CDefaultLogBuilder::ReadLoggingMechanism(const LoggingSettingsIf* settingsSource) {
    rk::DWORD value = 0;
    if (settingsSource != nullptr) {
        return settingsSource->ReadDword(kLoggingMechanismValue, value) ? std::optional(value) : std::nullopt;
    }
    DiraDoro::CObfuscatedRegKey key;
    if (key.Open(rk::sys::reg::HKEY_LOCAL_MACHINE, kLoggingKeyPath, rk::sys::reg::KEY_READ) != 0 ||
        key.QueryDWORDValue(kLoggingMechanismValue, value) != 0) {
        return std::nullopt;
    }
    return value;
}

rk::DWORD CDefaultLogBuilder::ChooseMechanism(rk::DWORD mechanism, const LoggingSettingsIf* settingsSource) {
    if (mechanism == kMechanismFile) {
        return kMechanismFile;
    }
    return ReadLoggingMechanism(settingsSource) == kMechanismFile ? kMechanismFile : kMechanismDefault;
}

rk::DWORD CDefaultLogBuilder::Build_ex(const wchar_t* applicationName, const wchar_t* group, ModuleHandle module,
                                       const wchar_t* host, rk::DWORD mechanism,
                                       std::unique_ptr<CLoggingIf>& out,
                                       const LoggingSettingsIf* settingsSource) {
    try {
        if (out != nullptr) {
            return rk::win::kErrorInvalidState;
        }
        if ((group != nullptr && group[0] == L'\0') || (host != nullptr && host[0] == L'\0')) {
            return rk::win::kErrorInvalidParameter;
        }
        const bool file = ChooseMechanism(mechanism, settingsSource) == kMechanismFile;
        std::unique_ptr<CLoggingIf> logger;
        if (file) {
            logger = file_factory_ ? file_factory_() : nullptr;
        } else {
            logger = etw_factory_ ? etw_factory_() : nullptr;
        }
        if (logger == nullptr) {
            return rk::win::kErrorNotEnoughMemory;
        }
        rk::DWORD result = rk::win::kErrorInvalidFunction;
        if (auto* extended = dynamic_cast<CLoggingIf_ex*>(logger.get()); extended != nullptr) {
            result = extended->Initialize_ex(applicationName, group, module, host, nullptr);
        }
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
