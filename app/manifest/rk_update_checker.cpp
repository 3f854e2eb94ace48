#include "app/manifest/rk_update_checker.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "app/manifest/path_text.h"
#include "platform/logging/process_logger.h"
#include "platform/text/numeric.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace reg = rk::sys::reg;
using namespace rk::app;

namespace {

constexpr wchar_t kFile[] = L"RkUpdateChecker.cpp";

struct RequiredOs {
    std::wstring_view name;
    rk::DWORD major;
    rk::DWORD minor;
    rk::DWORD service_pack;
};

// "OS" values and the Windows version each requires (or a later one).
constexpr std::array<RequiredOs, 6> kOsTable{{
    {L"10.0", 10, 0, 0},
    {L"8.1", 6, 3, 0},
    {L"6.3", 6, 3, 0},
    {L"8.0", 6, 2, 0},
    {L"6.2", 6, 2, 0},
    {L"6.1", 6, 1, 1},
}};

// RegQueryValueExW's buffer: 2048 bytes, zeroed.
constexpr std::size_t kValueBufferBytes = 2048;

// std::map::at as the product's runtime reports an absent key.
template <typename Map>
const typename Map::mapped_type& at(const Map& map, std::wstring_view key) {
    const auto it = map.find(key);
    if (it == map.end()) {
        throw std::out_of_range(logtext::kInvalidMapKey);
    }
    return it->second;
}

std::optional<std::int64_t> to_int64(std::wstring_view text) {
    const auto parsed = rk::text::wcstoll_like(text, 10);
    if (parsed.consumed == 0 || parsed.out_of_range) {
        return std::nullopt;
    }
    return parsed.value;
}

}  // namespace

CRkUpdateChecker::CRkUpdateChecker(std::shared_ptr<const UpdaterEnvironment> env) : env_(std::move(env)) {}

void CRkUpdateChecker::SetRegInfoVars(const StringMap& regInfo) { regInfo_ = regInfo; }
void CRkUpdateChecker::SetPrereqVars(const StringMap& prereq) { prereq_ = prereq; }
void CRkUpdateChecker::SetCompareVals(const CompareMap& compareVals) { compareVals_ = compareVals; }

bool CRkUpdateChecker::IsOSVersionSupported() {
    const auto os = prereq_.find(prereq::kOs);
    if (os == prereq_.end() || os->second.empty()) {
        return true;
    }
    for (const auto& required : kOsTable) {
        if (required.name == os->second) {
            if (!env_->os_info) {
                return false;
            }
            return rk::sys::is_version_at_least(env_->os_info->version(), required.major, required.minor,
                                                required.service_pack);
        }
    }
    return true;
}

bool CRkUpdateChecker::IsUIProcessRunning() {
    if (!env_->processes) {
        return false;
    }
    std::vector<rk::sys::ProcessEntry> entries;
    if (env_->processes->snapshot(entries) != rk::win::kErrorSuccess) {
        return false;
    }
    std::optional<std::wstring> own_folder;
    for (const auto& entry : entries) {
        if (entry.pid == 0 || entry.image_path.empty()) {
            continue;  // OpenProcess would have failed for it
        }
        if (rk::text::to_lower(file_name_of(entry.image_path)) != kUiProcessName) {
            continue;
        }
        if (!own_folder) {
            own_folder = remove_file_spec(env_->own_image_path ? env_->own_image_path() : std::wstring());
        }
        if (remove_file_spec(entry.image_path) == *own_folder) {
            return true;
        }
    }
    return false;
}

reg::HKEY CRkUpdateChecker::getRegistryHive() {
    try {
        static const std::array<std::pair<std::wstring_view, reg::HKEY>, 4> kHives{{
            {L"HKLM", reg::HKEY_LOCAL_MACHINE},
            {L"HKCU", reg::HKEY_CURRENT_USER},
            {L"HKU", reg::HKEY_USERS},
            {L"HKCC", reg::HKEY_CURRENT_CONFIG},
        }};
        const auto hive = prereq_.find(prereq::kRegHive);
        const std::wstring_view name = hive == prereq_.end() ? std::wstring_view() : std::wstring_view(hive->second);
        for (const auto& [text, key] : kHives) {
            if (text == name) {
                return key;
            }
        }
    } catch (const std::exception& e) {
        if (IsLogLevelEnabled(5)) {
            LogMessage(5, kFile, L"CRkUpdateChecker::getRegistryHive", __LINE__, logtext::kHiveException, e.what());
        }
    }
    return nullptr;
}

std::wstring CRkUpdateChecker::ReadRegValue(std::wstring_view location) {
    const auto at_sign = location.find(L'@');
    if (location.empty() || at_sign == std::wstring_view::npos) {
        return {};
    }
    const std::wstring path(location.substr(0, at_sign));
    const std::wstring name(location.substr(at_sign + 1));
    const reg::HKEY root = getRegistryHive();
    if (root == nullptr) {
        return {};
    }
    reg::HKEY key = nullptr;
    if (reg::RegOpenKeyExW(root, path.c_str(), 0, reg::KEY_READ, &key) != rk::win::kErrorSuccess &&
        reg::RegOpenKeyExW(root, path.c_str(), 0, reg::KEY_READ | reg::KEY_WOW64_64KEY, &key) !=
            rk::win::kErrorSuccess) {
        return {};
    }
    std::array<reg::BYTE, kValueBufferBytes> buffer{};
    rk::DWORD size = static_cast<rk::DWORD>(buffer.size());
    const auto status = reg::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, buffer.data(), &size);
    reg::RegCloseKey(key);
    if (status != rk::win::kErrorSuccess) {
        return {};
    }
    // The buffer read as a zero-terminated UTF-16 string, whatever the type.
    std::size_t units = 0;
    while (units < buffer.size() / 2 && (buffer[2 * units] != 0 || buffer[2 * units + 1] != 0)) {
        ++units;
    }
    return rk::text::utf16le_to_wide(std::span<const std::uint8_t>(buffer.data(), units * 2));
}

void CRkUpdateChecker::ReadRegistryValues() {
    for (const auto& [name, location] : regInfo_) {
        regValues_.emplace(name, ReadRegValue(location));
    }
}

bool CRkUpdateChecker::CompareNumbers(std::wstring_view a, std::wstring_view relation, std::wstring_view b) {
    const auto x = to_int64(a);
    const auto y = to_int64(b);
    if (!x || !y) {
        return false;
    }
    if (relation == L"EQ") {
        return *x == *y;
    }
    if (relation == L"NEQ") {
        return *x != *y;
    }
    if (relation == L"LT") {
        return *x < *y;
    }
    if (relation == L"LE") {
        return *x <= *y;
    }
    if (relation == L"GT") {
        return *x > *y;
    }
    if (relation == L"GE") {
        return *x >= *y;
    }
    return false;
}

bool CRkUpdateChecker::CompareVersions(std::wstring_view value, std::wstring_view expected) {
    const std::wstring_view relation = at(prereq_, prereq::kCompare);
    std::wistringstream left{std::wstring(value)};
    std::wistringstream right{std::wstring(expected)};
    for (;;) {
        std::wstring a;
        std::wstring b;
        const bool have_a = static_cast<bool>(std::getline(left, a, L'.'));
        const bool have_b = static_cast<bool>(std::getline(right, b, L'.'));
        if (!have_a && !have_b) {
            return true;
        }
        if (!have_a) {
            a = L"0";
        }
        if (!have_b) {
            b = L"0";
        }
        if (!CompareNumbers(a, relation, b)) {
            return false;
        }
        // The first unequal pair decides; equal pairs go on only for relations
        // that hold for equal numbers.
        if (CompareNumbers(a, L"NEQ", b)) {
            return true;
        }
    }
}

bool CRkUpdateChecker::CompareValues() {
    if (regValues_.empty() || compareVals_.empty()) {
        return false;
    }
    bool result = false;
    for (const auto& [name, entry] : compareVals_) {
        const auto& [type, expected] = entry;
        if (std::wstring_view(type) == verType_) {
            result = CompareVersions(at(regValues_, name), expected);
            if (!result) {
                return false;
            }
        } else if (std::wstring_view(type) == strType_) {
            const std::wstring_view value = at(regValues_, name);
            const std::int32_t number = rk::text::wtoi(value);
            std::wistringstream list{std::wstring(expected)};
            result = false;
            int candidate = 0;
            while (list >> candidate) {
                if (candidate == number) {
                    result = true;
                    break;
                }
            }
            if (!result) {
                return false;
            }
        }
    }
    return result;
}

bool CRkUpdateChecker::IsPreConditionSuccess(std::wstring& detail) {
    try {
        if (!IsOSVersionSupported()) {
            detail = word::kOsCheckFailed;
            return false;
        }
        if (IsUIProcessRunning()) {
            detail = word::kRkuicntAlreadyRunning;
            return false;
        }
        ReadRegistryValues();
        const bool ok = CompareValues();
        detail = ok ? word::kPreconditionSuccess : word::kPreconditionFailed;
        return ok;
    } catch (const std::exception& e) {
        if (IsLogLevelEnabled(5)) {
            LogMessage(5, kFile, L"CRkUpdateChecker::IsPreConditionSuccess", __LINE__, logtext::kCheckerException,
                       e.what());
        }
    }
    return false;
}

std::wstring CRkUpdateChecker::GetAffiliateId() {
    const auto it = regValues_.find(kAffiliateIdVariable);
    return it == regValues_.end() ? std::wstring() : std::wstring(it->second);
}
