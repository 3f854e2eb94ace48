#include "platform/config/reg_key_impl.h"

#include <cstring>
#include <vector>

#include "platform/text/utf.h"

namespace DiraDoro::internal {
namespace reg = rk::sys::reg;
namespace {

constexpr LONG kInvalidParameter = static_cast<LONG>(rk::win::kErrorInvalidParameter);
constexpr LONG kInvalidData = static_cast<LONG>(rk::win::kErrorInvalidData);
constexpr LONG kInsufficientBuffer = static_cast<LONG>(rk::win::kErrorInsufficientBuffer);
constexpr LONG kMoreData = static_cast<LONG>(rk::win::kErrorMoreData);
constexpr REGSAM kViewBits = reg::KEY_WOW64_32KEY | reg::KEY_WOW64_64KEY;
// KEY_READ | KEY_WRITE: what RecurseDeleteKey opens each level with.
constexpr REGSAM kRecurseAccess = 0x2001F;
constexpr DWORD kEnumNameChars = 256;
constexpr ULONG kGuidChars = 64;
constexpr std::size_t kStringProbeBytes = 512;

bool is_string_type(DWORD type) { return type == reg::REG_SZ || type == reg::REG_EXPAND_SZ; }

std::uint16_t unit_at(const std::uint8_t* bytes, std::size_t index) {
    return static_cast<std::uint16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
}

// Copies UTF-16LE units into a wide buffer; returns the characters written.
ULONG units_to_wide(const std::uint8_t* bytes, std::size_t units, wchar_t* out) {
    const std::wstring wide = rk::text::utf16le_to_wide(std::span<const std::uint8_t>(bytes, units * 2));
    std::copy(wide.begin(), wide.end(), out);
    return static_cast<ULONG>(wide.size());
}

// The well-known SIDs and the ACL that SetKeyAccessRules writes.
void put_sid(std::vector<std::uint8_t>& out, std::initializer_list<std::uint32_t> sub_authorities) {
    out.push_back(1);
    out.push_back(static_cast<std::uint8_t>(sub_authorities.size()));
    const std::uint8_t nt_authority[6] = {0, 0, 0, 0, 0, 5};
    out.insert(out.end(), std::begin(nt_authority), std::end(nt_authority));
    for (const std::uint32_t sa : sub_authorities) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(sa >> (8 * i)));
        }
    }
}

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::size_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::size_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::vector<std::uint8_t> access_rules_descriptor(bool users_write) {
    constexpr std::uint16_t kControl = 0x8000 | 0x0004 | 0x1000;  // self-relative, DACL present, DACL protected
    constexpr std::uint8_t kAllowed = 0;
    constexpr std::uint8_t kInherit = 0x02;  // CONTAINER_INHERIT_ACE
    std::vector<std::uint8_t> sd(20, 0);
    sd[0] = 1;
    put16(sd, 2, kControl);
    const std::size_t owner = sd.size();
    put_sid(sd, {18});  // S-1-5-18 SYSTEM
    put32(sd, 4, owner);
    const std::size_t dacl = sd.size();
    put32(sd, 16, dacl);
    sd.insert(sd.end(), {2, 0, 0, 0, 0, 0, 0, 0});  // ACL header, filled below
    const struct {
        std::initializer_list<std::uint32_t> sid;
        std::uint32_t mask;
    } aces[] = {
        {{18}, reg::KEY_ALL_ACCESS},
        {{32, 544}, reg::KEY_ALL_ACCESS},
        {{32, 545}, users_write ? reg::KEY_ALL_ACCESS : reg::KEY_READ},
    };
    for (const auto& ace : aces) {
        const std::size_t at = sd.size();
        sd.insert(sd.end(), {kAllowed, kInherit, 0, 0, 0, 0, 0, 0});
        put32(sd, at + 4, ace.mask);
        put_sid(sd, ace.sid);
        put16(sd, at + 2, sd.size() - at);
    }
    put16(sd, dacl + 2, sd.size() - dacl);
    put16(sd, dacl + 4, std::size(aces));
    return sd;
}

}  // namespace

CRegKeyImpl::~CRegKeyImpl() { CRegKeyImpl::Close(); }

LONG CRegKeyImpl::QueryValue(const wchar_t* name, DWORD* type, void* data, ULONG* size) {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    return reg::RegQueryValueExW(key_, name, nullptr, type, static_cast<reg::BYTE*>(data), size);
}

LONG CRegKeyImpl::SetValue(const wchar_t* name, DWORD type, const void* data, ULONG size) {
    if (key_ == nullptr || data == nullptr || size == 0) {
        return kInvalidParameter;
    }
    return reg::RegSetValueExW(key_, name, 0, type, static_cast<const reg::BYTE*>(data), size);
}

LONG CRegKeyImpl::SetGuidValue(const wchar_t* name, const GUID& value) {
    const std::wstring text = rk::win::guid_to_string(value);
    return SetStringValue(name, text.c_str(), reg::REG_SZ);
}

LONG CRegKeyImpl::SetBinaryValue(const wchar_t* name, const void* data, ULONG size) {
    return SetValue(name, reg::REG_BINARY, data, size);
}

LONG CRegKeyImpl::SetDWORDValue(const wchar_t* name, DWORD value) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return SetValue(name, reg::REG_DWORD, bytes, sizeof bytes);
}

LONG CRegKeyImpl::SetQWORDValue(const wchar_t* name, ULONGLONG value) {
    std::uint8_t bytes[8];
    std::memcpy(bytes, &value, sizeof bytes);
    return SetValue(name, reg::REG_QWORD, bytes, sizeof bytes);
}

LONG CRegKeyImpl::SetStringValue(const wchar_t* name, const wchar_t* text, DWORD type) {
    if (text == nullptr) {
        return kInvalidData;
    }
    std::wstring value(text);
    value.push_back(L'\0');
    const auto bytes = rk::text::wide_to_utf16le(value);
    return SetValue(name, type, bytes.data(), static_cast<ULONG>(bytes.size()));
}

LONG CRegKeyImpl::SetMultiStringValue(const wchar_t* name, const wchar_t* list) {
    if (list == nullptr) {
        return kInvalidData;
    }
    const wchar_t* p = list;
    while (*p != L'\0') {
        p += std::wcslen(p) + 1;
    }
    const auto bytes = rk::text::wide_to_utf16le(std::wstring_view(list, static_cast<std::size_t>(p - list) + 1));
    return SetValue(name, reg::REG_MULTI_SZ, bytes.data(), static_cast<ULONG>(bytes.size()));
}

LONG CRegKeyImpl::QueryGuidValue(const wchar_t* name, GUID& value) {
    value = GUID{};
    wchar_t text[kGuidChars];
    ULONG chars = kGuidChars;
    if (const LONG err = QueryStringBuffer(name, text, &chars); err != 0) {
        return err;
    }
    if (text[0] != L'{') {
        return kInvalidData;
    }
    const auto guid = rk::win::guid_from_string(text);
    if (!guid) {
        return kInvalidData;
    }
    value = *guid;
    return 0;
}

LONG CRegKeyImpl::QueryBinaryValue(const wchar_t* name, void* data, ULONG* size) {
    DWORD type = 0;
    const LONG err = QueryValue(name, &type, data, size);
    if ((err == 0 || err == kMoreData) && type != reg::REG_BINARY) {
        return kInvalidData;
    }
    return err;
}

LONG CRegKeyImpl::QueryDWORDValue(const wchar_t* name, DWORD& value) {
    DWORD type = 0;
    std::uint8_t bytes[4];
    ULONG size = sizeof bytes;
    const LONG err = QueryValue(name, &type, bytes, &size);
    if ((err == 0 || err == kMoreData) && type != reg::REG_DWORD) {
        return kInvalidData;
    }
    if (err != 0) {
        return err;
    }
    if (size != sizeof bytes) {
        return kInvalidData;
    }
    std::memcpy(&value, bytes, sizeof bytes);
    return 0;
}

LONG CRegKeyImpl::QueryQWORDValue(const wchar_t* name, ULONGLONG& value) {
    DWORD type = 0;
    std::uint8_t bytes[8];
    ULONG size = sizeof bytes;
    const LONG err = QueryValue(name, &type, bytes, &size);
    if ((err == 0 || err == kMoreData) && type != reg::REG_QWORD) {
        return kInvalidData;
    }
    if (err != 0) {
        return err;
    }
    if (size != sizeof bytes) {
        return kInvalidData;
    }
    std::memcpy(&value, bytes, sizeof bytes);
    return 0;
}

LONG CRegKeyImpl::QueryStringValue(const wchar_t* name, std::wstring& value) {
    // Most values fit the first buffer; a longer one is read again at its size.
    std::vector<std::uint8_t> bytes(kStringProbeBytes);
    DWORD type = 0;
    ULONG size = static_cast<ULONG>(bytes.size());
    LONG err = QueryValue(name, &type, bytes.data(), &size);
    if ((err == 0 || err == kMoreData) && !is_string_type(type)) {
        return kInvalidData;
    }
    if (err == kMoreData) {
        bytes.resize(size);
        err = QueryValue(name, &type, bytes.data(), &size);
    }
    if (err != 0) {
        return err;
    }
    if (!is_string_type(type) || size % 2 != 0) {
        return kInvalidData;
    }
    std::wstring text = rk::text::utf16le_to_wide(std::span<const std::uint8_t>(bytes.data(), size));
    if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) {
        text.resize(nul);
    }
    value = std::move(text);
    return 0;
}

LONG CRegKeyImpl::QueryStringBuffer(const wchar_t* name, wchar_t* buffer, ULONG* chars) {
    if (chars == nullptr) {
        return kInvalidParameter;
    }
    DWORD type = 0;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*chars) * 2);
    ULONG size = static_cast<ULONG>(bytes.size());
    const LONG err = QueryValue(name, &type, buffer != nullptr ? bytes.data() : nullptr, &size);
    if ((err == 0 || err == kMoreData) && !is_string_type(type)) {
        return kInvalidData;
    }
    if (err != 0) {
        if (err == kMoreData) {
            *chars = size / 2;
        }
        return err;
    }
    if (buffer == nullptr) {
        *chars = size / 2;
        return 0;
    }
    if (size == 0) {
        buffer[0] = L'\0';
        *chars = 0;
        return 0;
    }
    if (size % 2 != 0 || unit_at(bytes.data(), size / 2 - 1) != 0) {
        return kInvalidData;
    }
    *chars = units_to_wide(bytes.data(), size / 2, buffer);
    return 0;
}

LONG CRegKeyImpl::QueryMultiStringValue(const wchar_t* name, wchar_t* buffer, ULONG* chars) {
    if (chars == nullptr) {
        return kInvalidParameter;
    }
    if (buffer != nullptr && *chars < 2) {
        return kInsufficientBuffer;
    }
    DWORD type = 0;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(*chars) * 2);
    ULONG size = static_cast<ULONG>(bytes.size());
    const LONG err = QueryValue(name, &type, buffer != nullptr ? bytes.data() : nullptr, &size);
    if ((err == 0 || err == kMoreData) && type != reg::REG_MULTI_SZ) {
        return kInvalidData;
    }
    if (err != 0) {
        if (err == kMoreData) {
            *chars = size / 2;
        }
        return err;
    }
    if (buffer == nullptr) {
        *chars = size / 2;
        return 0;
    }
    const std::size_t units = size / 2;
    if (size % 2 != 0 || units < 1 || unit_at(bytes.data(), units - 1) != 0 ||
        (units > 1 && unit_at(bytes.data(), units - 2) != 0)) {
        return kInvalidData;
    }
    *chars = units_to_wide(bytes.data(), units, buffer);
    return 0;
}

LONG CRegKeyImpl::GetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor, DWORD* size) {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    return reg::RegGetKeySecurity(key_, information, descriptor, size);
}

LONG CRegKeyImpl::SetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor) {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    return reg::RegSetKeySecurity(key_, information, descriptor);
}

LONG CRegKeyImpl::Create(HKEY parent, const wchar_t* subKey, const wchar_t* keyClass, DWORD options, REGSAM access,
                         SECURITY_ATTRIBUTES* securityAttributes, DWORD* disposition) {
    if (parent == nullptr) {
        return kInvalidParameter;
    }
    HKEY created = nullptr;
    DWORD disp = 0;
    LONG err = reg::RegCreateKeyExW(parent, subKey, 0, keyClass, options, access, securityAttributes, &created, &disp);
    if (disposition != nullptr) {
        *disposition = disp;
    }
    if (err == 0) {
        err = Close();
        key_ = created;
        view_ = access & kViewBits;
    }
    return err;
}

LONG CRegKeyImpl::Open(HKEY parent, const wchar_t* subKey, REGSAM access) {
    if (parent == nullptr) {
        return kInvalidParameter;
    }
    HKEY opened = nullptr;
    LONG err = reg::RegOpenKeyExW(parent, subKey, 0, access, &opened);
    if (err == 0) {
        err = Close();
        key_ = opened;
        view_ = access & kViewBits;
    }
    return err;
}

LONG CRegKeyImpl::Close() {
    if (key_ == nullptr) {
        return 0;
    }
    if (delete_on_close_) {
        // SHDeleteKeyW(key, L""): everything below, then the key itself.
        reg::RegDeleteTreeW(key_, nullptr);
        reg::RegDeleteKeyExW(key_, L"", view_, 0);
        delete_on_close_ = false;
    }
    const LONG err = reg::RegCloseKey(key_);
    key_ = nullptr;
    view_ = 0;
    return err;
}

LONG CRegKeyImpl::Flush() {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    return reg::RegFlushKey(key_);
}

HKEY CRegKeyImpl::Detach() {
    HKEY key = key_;
    key_ = nullptr;
    view_ = 0;
    return key;
}

void CRegKeyImpl::Attach(HKEY key) {
    if (key_ != nullptr && key_ != key) {
        reg::RegCloseKey(key_);
    }
    key_ = key;
    view_ = 0;
}

LONG CRegKeyImpl::EnumSubKey(DWORD index, wchar_t* name, DWORD* nameSize, FILETIME* lastWrite) {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    FILETIME written{};
    const LONG err = reg::RegEnumKeyExW(key_, index, name, nameSize, nullptr, nullptr, nullptr, &written);
    if (lastWrite != nullptr) {
        *lastWrite = written;
    }
    return err;
}

LONG CRegKeyImpl::NotifyChange(bool watchSubtree, DWORD filter, HANDLE event, bool asynchronous) {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    return reg::RegNotifyChangeKeyValue(key_, watchSubtree, filter, std::move(event), asynchronous);
}

LONG CRegKeyImpl::DeleteSubKey(const wchar_t* subKey) {
    if (key_ == nullptr || subKey == nullptr) {
        return kInvalidParameter;
    }
    // RegDeleteKeyExW always exists here; Windows builds look it up at run
    // time and fall back to RegDeleteKeyW.
    return reg::RegDeleteKeyExW(key_, subKey, view_, 0);
}

LONG CRegKeyImpl::RecurseDeleteKey(const wchar_t* subKey) {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    CRegKeyImpl key;
    if (const LONG err = key.Open(key_, subKey, kRecurseAccess | view_); err != 0) {
        return err;
    }
    wchar_t name[kEnumNameChars];
    DWORD size = kEnumNameChars;
    FILETIME written{};
    while (reg::RegEnumKeyExW(key.key_, 0, name, &size, nullptr, nullptr, nullptr, &written) == 0) {
        if (const LONG err = key.RecurseDeleteKey(name); err != 0) {
            return err;
        }
        size = kEnumNameChars;
    }
    key.Close();
    return DeleteSubKey(subKey);
}

LONG CRegKeyImpl::DeleteValue(const wchar_t* name) {
    if (key_ == nullptr || name == nullptr) {
        return kInvalidParameter;
    }
    return reg::RegDeleteValueW(key_, name);
}

LONG CRegKeyImpl::SetKeyAccessRules(DWORD allowUsersWrite) {
    if (key_ == nullptr) {
        return kInvalidParameter;
    }
    auto sd = access_rules_descriptor(allowUsersWrite != 0);
    return SetKeySecurity(reg::DACL_SECURITY_INFORMATION | reg::OWNER_SECURITY_INFORMATION, sd.data());
}

void CRegKeyImpl::SetDeleteOnClose(bool deleteOnClose) { delete_on_close_ = deleteOnClose; }

bool CRegKeyImpl::GetDeleteOnClose() const { return delete_on_close_; }

}  // namespace DiraDoro::internal
