#include "xml_updater/substitutions/reg_substitution_impl.h"

#include <array>
#include <memory>
#include <new>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/config/reg_key.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kFile[] = L"reg_substitution_impl.cpp";
constexpr wchar_t kFunction[] = L"CRegSubstitutionImpl::Query";

DiraDoro::HKEY hive_of(const std::wstring& name) {
    namespace reg = rk::sys::reg;
    if (name == kHiveCurrentUser) {
        return reg::HKEY_CURRENT_USER;
    }
    if (name == kHiveClassesRoot) {
        return reg::HKEY_CLASSES_ROOT;
    }
    if (name == kHiveCurrentConfig) {
        return reg::HKEY_CURRENT_CONFIG;
    }
    if (name == kHiveUsers) {
        return reg::HKEY_USERS;
    }
    return reg::HKEY_LOCAL_MACHINE;
}

std::unique_ptr<DiraDoro::CRegKey> make_key(bool scrambled) {
    try {
        if (scrambled) {
            return std::make_unique<DiraDoro::CObfuscatedRegKey>();
        }
        return std::make_unique<DiraDoro::CRegKey>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

std::wstring CRegSubstitutionImpl::Query(const std::wstring& arguments) const {
    DiraDoro::HKEY hive = rk::sys::reg::HKEY_LOCAL_MACHINE;
    std::wstring rest = arguments;
    if (const auto bar = arguments.find(kHiveSeparator); bar != std::wstring::npos) {
        hive = hive_of(arguments.substr(0, bar));
        rest = arguments.substr(bar + 1);
    }
    const auto at = rest.find(kValueSeparator);
    if (at == std::wstring::npos) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgNoDelimiter);
        return kUnknownValue;
    }
    const std::wstring key_path = rest.substr(0, at);
    const std::wstring value_name = rest.substr(at + 1);

    const auto key = make_key(scrambled_);
    if (!key) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgConstructKeyFailed);
        return kUnknownValue;
    }
    DiraDoro::LONG error = key->Open(hive, key_path.c_str(), rk::sys::reg::KEY_READ | view_);
    if (error != 0) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, kMsgOpenKeyFailed, arguments, error);
        return kUnknownValue;
    }
    if (value_name.empty()) {
        XmlUpdaterLog(kXmlLogInformation, kFile, kFunction, __LINE__, kMsgKeyExists);
        return {};
    }
    std::array<std::uint8_t, kRegQueryBufferBytes> data{};
    DiraDoro::DWORD type = 0;
    DiraDoro::ULONG size = kRegQueryBufferBytes;
    error = key->QueryValue(value_name.c_str(), &type, data.data(), &size);
    if (error != 0) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, kMsgQueryKeyFailed, arguments, error);
        return kUnknownValue;
    }
    if (type == rk::sys::reg::REG_SZ) {
        std::wstring text = rk::text::utf16le_to_wide(std::span<const std::uint8_t>(data.data(), size & ~1u));
        if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) {
            text.resize(nul);
        }
        return text;
    }
    const std::uint32_t number = static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                 (static_cast<std::uint32_t>(data[2]) << 16) |
                                 (static_cast<std::uint32_t>(data[3]) << 24);
    return rk::text::format(L"%lu", number);
}

}  // namespace XMLUpdater::v2
