#include "xml_updater/hound.h"

#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/registry/registry.h"
#include "platform/text/utf.h"
#include "xml_updater/hound_library.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::Hound {
namespace {

using rk::DWORD;
using rk::LONG;

constexpr wchar_t kFile[] = L"hound.cpp";

// Windows numbers for what the loader reports.
constexpr unsigned kErrorModNotFound = 126;
constexpr unsigned kErrorBadExeFormat = 193;

struct HookState {
    bool activated = false;
    std::unique_ptr<CInternalInterface> library;
};

HookState& state() {
    static HookState hook;
    return hook;
}

std::map<std::wstring, std::wstring> read_configuration() {
    namespace reg = rk::sys::reg;
    std::map<std::wstring, std::wstring> values;
    reg::HKEY key = nullptr;
    if (reg::RegOpenKeyExW(reg::HKEY_LOCAL_MACHINE, kConfigKey, 0, reg::KEY_READ, &key) != 0) {
        return values;
    }
    std::vector<wchar_t> name(reg::kMaxValueNameLength + 1);
    std::vector<reg::BYTE> data(64 * 1024);
    for (DWORD index = 0;; ++index) {
        DWORD name_chars = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        const LONG status = reg::RegEnumValueW(key, index, name.data(), &name_chars, nullptr, &type, data.data(), &size);
        if (status != 0) {
            if (status == rk::win::kErrorMoreData) {
                continue;  // a value too large for a configuration text
            }
            break;
        }
        if (type != reg::REG_SZ && type != reg::REG_EXPAND_SZ) {
            continue;
        }
        std::wstring text = rk::text::utf16le_to_wide(std::span<const std::uint8_t>(data.data(), size & ~1u));
        while (!text.empty() && text.back() == L'\0') {
            text.pop_back();
        }
        values[std::wstring(name.data(), name_chars)] = std::move(text);
    }
    reg::RegCloseKey(key);
    return values;
}

std::string configuration_text(const std::map<std::wstring, std::wstring>& values) {
    std::string text = "{";
    bool first = true;
    for (const auto& [name, value] : values) {
        if (!first) {
            text += ",";
        }
        first = false;
        text += rk::text::wide_to_utf8(name) + "='" + rk::text::wide_to_utf8(value) + "'";
    }
    return text + "}";
}

void activate() {
    HookState& hook = state();
    hook.activated = true;
    const auto values = read_configuration();
    const auto path = values.find(kConfigPath);
    if (path == values.end() || path->second.empty()) {
        return;
    }
    constexpr wchar_t kFunction[] = L"Hound::Activate";
    try {
        std::string error;
        auto library = LoadInternal(rk::text::wide_to_utf8(path->second), error);
        if (!library) {
            if (error.rfind("missing export", 0) == 0) {
                XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to create internal object. Error %S",
                              error);
            } else {
                const unsigned code = rk::sys::path_exists(path->second) ? kErrorBadExeFormat : kErrorModNotFound;
                XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to load library %s. Error 0x%08X",
                              path->second, code);
            }
            return;
        }
        if (library->Initialize(configuration_text(values))) {
            hook.library = std::move(library);
        }
    } catch (const std::exception& e) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to create internal object. Error %S", e.what());
    } catch (...) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to create internal object. Unknown Error");
    }
}

CInternalInterface* library() {
    HookState& hook = state();
    if (!hook.activated) {
        activate();
    }
    return hook.library.get();
}

// Sends one event; nullopt when no hook is active or the library failed
// (logged), so callers behave as if no hook were loaded.
std::optional<std::string> send(const wchar_t* file, const wchar_t* function, std::string_view event,
                                std::string_view arguments) {
    CInternalInterface* hook = library();
    if (hook == nullptr) {
        return std::nullopt;
    }
    try {
        return hook->Dispatch(event, arguments);
    } catch (const std::exception& e) {
        XmlUpdaterLog(kXmlLogError, file, function, __LINE__, L"std::exception caught: %S", e.what());
    } catch (...) {
        XmlUpdaterLog(kXmlLogError, file, function, __LINE__, L"Unknown exception caught");
    }
    return std::nullopt;
}

bool answered_yes(const std::optional<std::string>& answer) { return answer && *answer == kAnswerYes; }

// Appended piece by piece: "\"" + text makes GCC 12 -O3 report a false
// -Wrestrict overlap inside the string insert.
std::string quote_text(std::wstring_view text) {
    std::string quoted = "\"";
    quoted += EscapeText(rk::text::wide_to_utf8(text));
    quoted += '"';
    return quoted;
}

std::string command_arguments(const AttributeMap& args, const AttributeMap& raw_args) {
    return "{args=" + TableText(args) + ", rawargs=" + TableText(raw_args);
}

}  // namespace

std::string EscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string TableText(const AttributeMap& map) {
    std::string text = "{";
    bool first = true;
    for (const auto& [key, value] : map) {
        if (!first) {
            text += ", ";
        }
        first = false;
        text += rk::text::wide_to_utf8(key) + "=" + quote_text(value);
    }
    return text + "}";
}

void Start(const wchar_t* file, const wchar_t* function, std::wstring_view section, std::wstring_view node_text) {
    if (library() == nullptr) {
        return;
    }
    send(file, function, kEventStartSection, "{section=" + quote_text(section) + "; nodeText=" + quote_text(node_text) + "}");
}

void End(const wchar_t* file, const wchar_t* function) { send(file, function, kEventEndSection, ""); }

bool InterestingNavigation(const wchar_t* file, const wchar_t* function, std::wstring_view url) {
    if (library() == nullptr) {
        return false;
    }
    return answered_yes(send(file, function, kEventInterestingUrl, "{url=" + quote_text(url) + "}"));
}

std::string GetXml(const wchar_t* file, const wchar_t* function, std::wstring_view url) {
    (void)file;
    (void)function;
    CInternalInterface* hook = library();
    if (hook == nullptr) {
        throw std::runtime_error("no test hook is loaded");
    }
    return hook->Dispatch(kEventGetXml, "{url=" + quote_text(url) + "}");
}

bool InterestingSignatureCheck(const wchar_t* file, const wchar_t* function) {
    return answered_yes(send(file, function, kEventSigCheck, ""));
}

bool InterestingCommand(const wchar_t* file, const wchar_t* function, const AttributeMap& args,
                        const AttributeMap& raw_args) {
    if (library() == nullptr) {
        return false;
    }
    return answered_yes(send(file, function, kEventInterestingCommand, command_arguments(args, raw_args) + "}"));
}

bool Command(const wchar_t* file, const wchar_t* function, const AttributeMap& args, const AttributeMap& raw_args) {
    if (library() == nullptr) {
        return false;
    }
    return answered_yes(send(file, function, kEventExecuteCommand, command_arguments(args, raw_args) + "}"));
}

void CommandResult(const wchar_t* file, const wchar_t* function, const AttributeMap& args,
                   const AttributeMap& raw_args, bool result) {
    if (library() == nullptr) {
        return;
    }
    send(file, function, kEventCommandResult,
         command_arguments(args, raw_args) + ", result=\"" + (result ? "true" : "false") + "\"}");
}

void PreconditionResult(const wchar_t* file, const wchar_t* function, std::wstring_view type, bool result,
                        const AttributeMap& args, const AttributeMap& raw_args) {
    if (library() == nullptr) {
        return;
    }
    send(file, function, kEventPreconditionResult,
         "{type=" + quote_text(type) + ", result=\"" + (result ? "true" : "false") + "\", args=" + TableText(args) +
             ", rawargs=" + TableText(raw_args) + "}");
}

void ExitResult(const wchar_t* file, const wchar_t* function, int result) {
    if (library() == nullptr) {
        return;
    }
    send(file, function, kEventExitResult, "{result=" + std::to_string(result) + "}");
}

bool IsActive() { return library() != nullptr; }

void Install(std::unique_ptr<CInternalInterface> hook) {
    ReactivateForTesting();
    state().activated = true;
    state().library = std::move(hook);
}

void ReactivateForTesting() {
    HookState& hook = state();
    hook.activated = false;
    // The old object is kept alive (its library stays mapped anyway) so no
    // code of it runs from a destructor here.
    static std::vector<std::unique_ptr<CInternalInterface>> retired;
    if (hook.library) {
        retired.push_back(std::move(hook.library));
    }
}

}  // namespace XMLUpdater::v2::Hound
