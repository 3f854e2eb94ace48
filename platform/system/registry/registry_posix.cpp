#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "platform/system/registry/change_monitor.h"
#include "platform/system/registry/registry.h"
#include "platform/system/registry/registry_paths.h"
#include "platform/system/registry/registry_store.h"
#include "platform/system/root_prefix.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::reg {
namespace {

constexpr LONG kOk = 0;
constexpr LONG kInvalidParameter = static_cast<LONG>(win::kErrorInvalidParameter);
constexpr LONG kAccessDenied = static_cast<LONG>(win::kErrorAccessDenied);
constexpr LONG kInvalidHandle = static_cast<LONG>(win::kErrorInvalidHandle);
constexpr LONG kMoreData = static_cast<LONG>(win::kErrorMoreData);
constexpr LONG kBadPathname = static_cast<LONG>(win::kErrorBadPathname);

enum class StoreKind { kMachine, kUser };

struct Predefined {
    std::uint32_t value;
    StoreKind kind;
    const wchar_t* base;
};

// HKEY_CLASSES_ROOT and HKEY_CURRENT_CONFIG are views of keys of
// HKEY_LOCAL_MACHINE, as on Windows (without the per-user class merge).
constexpr Predefined kPredefined[] = {
    {0x80000000u, StoreKind::kMachine, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"},
    {0x80000001u, StoreKind::kUser, L"HKEY_CURRENT_USER"},
    {0x80000002u, StoreKind::kMachine, L"HKEY_LOCAL_MACHINE"},
    {0x80000003u, StoreKind::kMachine, L"HKEY_USERS"},
    {0x80000005u, StoreKind::kMachine, L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
};

const std::vector<std::wstring>& machine_roots() {
    static const std::vector<std::wstring> roots = {
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes",
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node",
        L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current",
        L"HKEY_USERS",
    };
    return roots;
}

const std::vector<std::wstring>& user_roots() {
    static const std::vector<std::wstring> roots = {L"HKEY_CURRENT_USER\\SOFTWARE"};
    return roots;
}

// Every store the process opened, by main file.
struct OpenStores {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<RegistryStore>> stores;
};

OpenStores& open_stores() {
    static OpenStores open;
    return open;
}

std::shared_ptr<RegistryStore> store_for(StoreKind kind) {
    auto& [mutex, stores] = open_stores();
    // The store files follow RK_ROOT (and for HKCU the XDG variables and
    // HOME); the last answer per kind is kept while those have not changed.
    static constexpr const char* kMachineInputs[] = {"RK_ROOT"};
    static constexpr const char* kUserInputs[] = {"RK_ROOT", "XDG_CONFIG_HOME", "HOME", "XDG_RUNTIME_DIR"};
    struct Recent {
        std::string values[std::size(kUserInputs)];
        std::shared_ptr<RegistryStore> store;
    };
    static Recent recent[2];
    const bool machine = kind == StoreKind::kMachine;
    const std::span<const char* const> inputs =
        machine ? std::span<const char* const>(kMachineInputs) : std::span<const char* const>(kUserInputs);
    Recent& last = recent[machine ? 0 : 1];
    std::lock_guard lock(mutex);
    bool same = last.store != nullptr;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const char* v = std::getenv(inputs[i]);
        const std::string_view value = v != nullptr ? v : "";
        if (value != last.values[i]) {
            last.values[i] = value;
            same = false;
        }
    }
    if (same) {
        return last.store;
    }
    last.store.reset();
    const std::filesystem::path main = machine ? machine_store_file() : user_store_file();
    auto& slot = stores[main.string()];
    if (!slot) {
        slot = std::make_shared<RegistryStore>(main, machine ? machine_volatile_file() : user_volatile_file(),
                                               machine ? machine_roots() : user_roots());
    }
    last.store = slot;
    return slot;
}

const Predefined* predefined_of(HKEY key) {
    const auto raw = reinterpret_cast<std::uintptr_t>(key);
    for (const auto& p : kPredefined) {
        if (raw == reinterpret_cast<std::uintptr_t>(detail::predefined(p.value))) {
            return &p;
        }
    }
    return nullptr;
}

struct OpenKey {
    std::shared_ptr<RegistryStore> store;
    KeyRef ref;
    std::wstring path;  // physical full path, views applied
    REGSAM access = 0;
    // Where RegEnumValueW / RegEnumKeyExW on this handle stand.
    ValueWindow values;
    KeyWindow subkeys;
};

class HandleTable {
public:
    static HandleTable& instance() {
        static HandleTable table;
        return table;
    }
    HKEY add(std::shared_ptr<OpenKey> key) {
        std::lock_guard lock(mutex_);
        next_ += 4;
        keys_.emplace(next_, std::move(key));
        return reinterpret_cast<HKEY>(next_);
    }
    std::shared_ptr<OpenKey> find(HKEY key) {
        std::lock_guard lock(mutex_);
        const auto it = keys_.find(reinterpret_cast<std::uintptr_t>(key));
        return it == keys_.end() ? nullptr : it->second;
    }
    bool remove(HKEY key) {
        std::lock_guard lock(mutex_);
        return keys_.erase(reinterpret_cast<std::uintptr_t>(key)) != 0;
    }

private:
    std::mutex mutex_;
    std::uintptr_t next_ = 0x1000;
    std::map<std::uintptr_t, std::shared_ptr<OpenKey>> keys_;
};

// What a handle stands for in one call.
struct Target {
    std::shared_ptr<RegistryStore> store;
    std::shared_ptr<OpenKey> open;  // null for predefined keys
    const wchar_t* base = nullptr;  // a predefined key's path
    REGSAM access = 0;
    std::optional<KeyRef> ref;  // empty for predefined keys: looked up per call
    bool predefined = false;

    std::wstring path() const { return open ? open->path : std::wstring(base); }
    std::wstring_view path_view() const { return open ? std::wstring_view(open->path) : std::wstring_view(base); }
    const std::wstring& open_path() const { return open->path; }
};

REGSAM normalize_access(REGSAM sam) {
    if ((sam & (GENERIC_READ | GENERIC_EXECUTE)) != 0) {
        sam |= KEY_READ;
    }
    if ((sam & GENERIC_WRITE) != 0) {
        sam |= KEY_WRITE;
    }
    if ((sam & (GENERIC_ALL | MAXIMUM_ALLOWED)) != 0) {
        sam |= KEY_ALL_ACCESS;
    }
    return sam;
}

LONG resolve(HKEY key, Target& out) {
    if (key == nullptr) {
        return kInvalidHandle;
    }
    if (const Predefined* p = predefined_of(key)) {
        out.store = store_for(p->kind);
        out.base = p->base;
        out.access = KEY_ALL_ACCESS;
        out.predefined = true;
        return kOk;
    }
    const auto open = HandleTable::instance().find(key);
    if (!open) {
        return kInvalidHandle;
    }
    out.store = open->store;
    out.access = open->access;
    out.ref = open->ref;
    out.open = open;
    return kOk;
}

LONG key_ref(const Target& t, KeyRef& out) {
    if (t.ref) {
        out = *t.ref;
        return kOk;
    }
    return t.store->find_key(t.path(), out);
}

LONG require(const Target& t, REGSAM right) { return (t.access & right) == right ? kOk : kAccessDenied; }

LONG check_view(REGSAM sam) {
    return (sam & KEY_WOW64_RES) == KEY_WOW64_RES ? kInvalidParameter : kOk;
}

// The open key behind a handle, with `right` granted (0: any right), and its
// reference in the store: the first step of every call on an open key.
LONG resolve_key(HKEY key, REGSAM right, Target& t, KeyRef& ref) {
    LONG err = resolve(key, t);
    if (err == kOk) {
        err = require(t, right);
    }
    if (err == kOk) {
        err = key_ref(t, ref);
    }
    return err;
}

// Joins `sub` to `base` and applies the registry view.
LONG full_path(std::wstring_view base, const wchar_t* sub, REGSAM view, std::wstring& out) {
    std::wstring_view s = sub != nullptr ? std::wstring_view(sub) : std::wstring_view();
    if (!s.empty() && s.back() == L'\\') {
        s.remove_suffix(1);
    }
    if (!s.empty()) {
        if (s.front() == L'\\') {
            return kBadPathname;
        }
        for (std::size_t start = 0; start <= s.size();) {
            const std::size_t end = std::min(s.find(L'\\', start), s.size());
            if (end == start) {
                return kBadPathname;
            }
            // A component takes at most two UTF-16 units per character.
            if ((end - start) * 2 > kMaxKeyNameLength &&
                text::utf16_length(s.substr(start, end - start)) > kMaxKeyNameLength) {
                return kInvalidParameter;
            }
            start = end + 1;
        }
    }
    out.reserve(base.size() + 1 + s.size());
    out.assign(base);
    if (!s.empty()) {
        out += L'\\';
        out += s;
    }
    if ((view & KEY_WOW64_32KEY) != 0) {
        out = redirect_for_view(out, view);
    }
    return kOk;
}

// The handle's key and the path of `sub` below it in the view `sam` asks for.
LONG resolve_subkey(HKEY key, const wchar_t* sub, REGSAM sam, Target& t, std::wstring& path) {
    LONG err = check_view(sam);
    if (err == kOk) {
        err = resolve(key, t);
    }
    if (err == kOk) {
        err = full_path(t.path_view(), sub, sam, path);
    }
    return err;
}

LONG open_handle(const std::shared_ptr<RegistryStore>& store, const KeyRef& ref, std::wstring path, REGSAM access,
                 HKEY* result) {
    auto key = std::make_shared<OpenKey>();
    key->store = store;
    key->ref = ref;
    key->path = std::move(path);
    key->access = access;
    *result = HandleTable::instance().add(std::move(key));
    return kOk;
}

std::wstring value_name(const wchar_t* name) { return name != nullptr ? std::wstring(name) : std::wstring(); }

// A minimal self-relative descriptor (no owner, group or ACLs) for keys that
// never had one set.
const std::vector<std::uint8_t>& default_descriptor() {
    static const std::vector<std::uint8_t> sd = {1, 0, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    return sd;
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Length of a self-relative security descriptor, from its own offsets; 0 when
// it is not one.
std::size_t descriptor_length(const std::uint8_t* sd) {
    constexpr std::uint16_t kSelfRelative = 0x8000;
    constexpr std::size_t kHeader = 20;
    const std::uint16_t control = static_cast<std::uint16_t>(sd[2] | sd[3] << 8);
    if (sd[0] != 1 || (control & kSelfRelative) == 0) {
        return 0;
    }
    std::size_t end = kHeader;
    const std::uint32_t owner = le32(sd + 4);
    const std::uint32_t group = le32(sd + 8);
    const std::uint32_t sacl = le32(sd + 12);
    const std::uint32_t dacl = le32(sd + 16);
    for (const std::uint32_t sid : {owner, group}) {
        if (sid != 0) {
            if (sid < kHeader || sid > 0x10000) {
                return 0;
            }
            end = std::max<std::size_t>(end, sid + 8 + 4 * static_cast<std::size_t>(sd[sid + 1]));
        }
    }
    for (const std::uint32_t acl : {sacl, dacl}) {
        if (acl != 0) {
            if (acl < kHeader || acl > 0x10000) {
                return 0;
            }
            end = std::max<std::size_t>(end, acl + static_cast<std::size_t>(sd[acl + 2] | sd[acl + 3] << 8));
        }
    }
    return end;
}

}  // namespace

std::uint64_t filetime_to_u64(const FILETIME& ft) {
    return static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

FILETIME u64_to_filetime(std::uint64_t value) {
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

LONG RegCreateKeyExW(HKEY key, const wchar_t* subKey, DWORD reserved, const wchar_t* keyClass, DWORD options,
                     REGSAM samDesired, const SECURITY_ATTRIBUTES* securityAttributes, HKEY* result,
                     DWORD* disposition) {
    if (result == nullptr || reserved != 0 ||
        (options & ~(REG_OPTION_VOLATILE | REG_OPTION_BACKUP_RESTORE | REG_OPTION_OPEN_LINK)) != 0) {
        return kInvalidParameter;
    }
    if (const LONG err = check_view(samDesired); err != kOk) {
        return err;
    }
    Target t;
    if (const LONG err = resolve(key, t); err != kOk) {
        return err;
    }
    if (!t.predefined) {
        if (const LONG err = t.store->key_alive(*t.ref); err != kOk) {
            return err;
        }
    }
    std::wstring path;
    if (const LONG err = full_path(t.path(), subKey, samDesired, path); err != kOk) {
        return err;
    }
    if (path != t.path()) {
        if (const LONG err = require(t, KEY_CREATE_SUB_KEY); err != kOk) {
            return err;
        }
    }
    KeyRef ref;
    DWORD disp = 0;
    if (const LONG err = t.store->create_key(path, value_name(keyClass), (options & REG_OPTION_VOLATILE) != 0, ref, disp);
        err != kOk) {
        return err;
    }
    if (disp == REG_CREATED_NEW_KEY && securityAttributes != nullptr &&
        securityAttributes->lpSecurityDescriptor != nullptr) {
        const auto* sd = static_cast<const std::uint8_t*>(securityAttributes->lpSecurityDescriptor);
        if (const std::size_t len = descriptor_length(sd); len != 0) {
            t.store->set_security(ref, path, sd, len);
        }
    }
    if (disposition != nullptr) {
        *disposition = disp;
    }
    ChangeMonitor::instance().poke();
    return open_handle(t.store, ref, path, normalize_access(samDesired), result);
}

LONG RegOpenKeyExW(HKEY key, const wchar_t* subKey, DWORD options, REGSAM samDesired, HKEY* result) {
    if (result == nullptr || (options & ~REG_OPTION_OPEN_LINK) != 0) {
        return kInvalidParameter;
    }
    Target t;
    std::wstring path;
    if (const LONG err = resolve_subkey(key, subKey, samDesired, t, path); err != kOk) {
        return err;
    }
    if (t.predefined && path == t.path_view()) {
        *result = key;
        return kOk;
    }
    KeyRef ref;
    if (const LONG err = t.store->find_key(path, ref); err != kOk) {
        return err;
    }
    return open_handle(t.store, ref, path, normalize_access(samDesired), result);
}

LONG RegCloseKey(HKEY key) {
    if (predefined_of(key) != nullptr) {
        return kOk;
    }
    if (!HandleTable::instance().remove(key)) {
        return kInvalidHandle;
    }
    ChangeMonitor::instance().handle_closed(reinterpret_cast<std::uintptr_t>(key));
    return kOk;
}

LONG RegFlushKey(HKEY key) {
    Target t;
    if (const LONG err = resolve(key, t); err != kOk) {
        return err;
    }
    return t.store->flush();
}

void release_cached_memory() {
    auto& [mutex, stores] = open_stores();
    std::lock_guard lock(mutex);
    for (auto& [file, store] : stores) {
        store->release_memory();
    }
}

LONG run_in_transaction(HKEY key, const std::function<LONG()>& body) {
    Target t;
    if (const LONG err = resolve(key, t); err != kOk) {
        return err;
    }
    return t.store->transact(body);
}

LONG RegQueryValueExW(HKEY key, const wchar_t* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* cbData) {
    if (reserved != nullptr || (data != nullptr && cbData == nullptr)) {
        return kInvalidParameter;
    }
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, KEY_QUERY_VALUE, t, ref); err != kOk) {
        return err;
    }
    DWORD stored_type = 0;
    BYTE* buffer = cbData != nullptr ? data : nullptr;
    DWORD size = buffer != nullptr ? *cbData : 0;
    if (const LONG err = t.store->query_value(ref, valueName != nullptr ? valueName : L"", stored_type, buffer, size);
        err != kOk) {
        return err;
    }
    if (type != nullptr) {
        *type = stored_type;
    }
    if (cbData == nullptr) {
        return kOk;
    }
    const DWORD room = *cbData;
    *cbData = size;
    return data != nullptr && room < size ? kMoreData : kOk;
}

LONG RegSetValueExW(HKEY key, const wchar_t* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD cbData) {
    const std::wstring name = value_name(valueName);
    if (reserved != 0 || (data == nullptr && cbData != 0) || text::utf16_length(name) > kMaxValueNameLength) {
        return kInvalidParameter;
    }
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, KEY_SET_VALUE, t, ref); err != kOk) {
        return err;
    }
    const LONG err = t.store->set_value(ref, t.path(), name, type, data, cbData);
    if (err == kOk) {
        ChangeMonitor::instance().poke();
    }
    return err;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* cbData) {
    const std::wstring name = valueName != nullptr ? text::utf8_to_wide(valueName) : std::wstring();
    return RegQueryValueExW(key, name.c_str(), reserved, type, data, cbData);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD cbData) {
    const std::wstring name = valueName != nullptr ? text::utf8_to_wide(valueName) : std::wstring();
    return RegSetValueExW(key, name.c_str(), reserved, type, data, cbData);
}

LONG RegDeleteValueW(HKEY key, const wchar_t* valueName) {
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, KEY_SET_VALUE, t, ref); err != kOk) {
        return err;
    }
    const LONG err = t.store->delete_value(ref, t.path(), value_name(valueName));
    if (err == kOk) {
        ChangeMonitor::instance().poke();
    }
    return err;
}

LONG RegDeleteKeyW(HKEY key, const wchar_t* subKey) { return RegDeleteKeyExW(key, subKey, 0, 0); }

LONG RegDeleteKeyExW(HKEY key, const wchar_t* subKey, REGSAM samDesired, DWORD reserved) {
    if (subKey == nullptr || reserved != 0) {
        return kInvalidParameter;
    }
    Target t;
    std::wstring path;
    if (const LONG err = resolve_subkey(key, subKey, samDesired, t, path); err != kOk) {
        return err;
    }
    if (t.predefined && path == t.path()) {
        return kAccessDenied;
    }
    KeyRef ref;
    if (path == t.path() && t.ref) {
        ref = *t.ref;
    } else if (const LONG err = t.store->find_key(path, ref); err != kOk) {
        return err;
    }
    const LONG err = t.store->delete_key(ref, path);
    if (err == kOk) {
        ChangeMonitor::instance().poke();
    }
    return err;
}

LONG RegDeleteTreeW(HKEY key, const wchar_t* subKey) {
    Target t;
    if (const LONG err = resolve(key, t); err != kOk) {
        return err;
    }
    const bool keep_self = subKey == nullptr || *subKey == L'\0';
    std::wstring path = t.path();
    KeyRef ref;
    if (keep_self) {
        if (const LONG err = key_ref(t, ref); err != kOk) {
            return err;
        }
    } else {
        if (const LONG err = full_path(t.path(), subKey, 0, path); err != kOk) {
            return err;
        }
        if (const LONG err = t.store->find_key(path, ref); err != kOk) {
            return err;
        }
    }
    const LONG err = t.store->delete_tree(ref, path, keep_self);
    if (err == kOk) {
        ChangeMonitor::instance().poke();
    }
    return err;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, wchar_t* name, DWORD* cchName, DWORD* reserved, wchar_t* keyClass,
                   DWORD* cchClass, FILETIME* lastWriteTime) {
    if (name == nullptr || cchName == nullptr || reserved != nullptr || (keyClass != nullptr && cchClass == nullptr)) {
        return kInvalidParameter;
    }
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, KEY_ENUMERATE_SUB_KEYS, t, ref); err != kOk) {
        return err;
    }
    KeyEntry entry;
    KeyWindow once;  // predefined keys have no handle to keep a window in
    if (const LONG err = t.store->enum_key(ref, t.open ? t.open_path() : t.path(), index, entry,
                                           t.open ? t.open->subkeys : once);
        err != kOk) {
        return err;
    }
    if (*cchName <= entry.name.size()) {
        return kMoreData;
    }
    std::copy(entry.name.begin(), entry.name.end(), name);
    name[entry.name.size()] = L'\0';
    *cchName = static_cast<DWORD>(entry.name.size());
    if (cchClass != nullptr) {
        if (keyClass != nullptr) {
            if (*cchClass <= entry.key_class.size()) {
                *cchClass = static_cast<DWORD>(entry.key_class.size());
                return kMoreData;
            }
            std::copy(entry.key_class.begin(), entry.key_class.end(), keyClass);
            keyClass[entry.key_class.size()] = L'\0';
        }
        *cchClass = static_cast<DWORD>(entry.key_class.size());
    }
    if (lastWriteTime != nullptr) {
        *lastWriteTime = u64_to_filetime(entry.last_write);
    }
    return kOk;
}

LONG RegEnumValueW(HKEY key, DWORD index, wchar_t* valueName, DWORD* cchValueName, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* cbData) {
    if (valueName == nullptr || cchValueName == nullptr || reserved != nullptr ||
        (data != nullptr && cbData == nullptr)) {
        return kInvalidParameter;
    }
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, KEY_QUERY_VALUE, t, ref); err != kOk) {
        return err;
    }
    ValueEntry entry;
    ValueWindow once;  // predefined keys have no handle to keep a window in
    if (const LONG err = t.store->enum_value(ref, index, entry, t.open ? t.open->values : once); err != kOk) {
        return err;
    }
    if (*cchValueName <= entry.name.size()) {
        return kMoreData;
    }
    std::copy(entry.name.begin(), entry.name.end(), valueName);
    valueName[entry.name.size()] = L'\0';
    *cchValueName = static_cast<DWORD>(entry.name.size());
    if (type != nullptr) {
        *type = entry.type;
    }
    if (cbData != nullptr) {
        const auto size = static_cast<DWORD>(entry.data.size());
        if (data != nullptr) {
            if (*cbData < size) {
                *cbData = size;
                return kMoreData;
            }
            if (size != 0) {
                std::memcpy(data, entry.data.data(), size);
            }
        }
        *cbData = size;
    }
    return kOk;
}

LONG RegQueryInfoKeyW(HKEY key, wchar_t* keyClass, DWORD* cchClass, DWORD* reserved, DWORD* subKeys,
                      DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                      DWORD* maxValueLen, DWORD* cbSecurityDescriptor, FILETIME* lastWriteTime) {
    if (reserved != nullptr || (keyClass != nullptr && cchClass == nullptr)) {
        return kInvalidParameter;
    }
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, KEY_QUERY_VALUE, t, ref); err != kOk) {
        return err;
    }
    KeyInfo info;
    if (const LONG err = t.store->query_info(ref, t.path(), info); err != kOk) {
        return err;
    }
    if (keyClass != nullptr) {
        if (*cchClass <= info.key_class.size()) {
            *cchClass = static_cast<DWORD>(info.key_class.size());
            return kMoreData;
        }
        std::copy(info.key_class.begin(), info.key_class.end(), keyClass);
        keyClass[info.key_class.size()] = L'\0';
    }
    if (cchClass != nullptr) {
        *cchClass = static_cast<DWORD>(info.key_class.size());
    }
    const auto set = [](DWORD* out, DWORD v) {
        if (out != nullptr) {
            *out = v;
        }
    };
    set(subKeys, info.sub_keys);
    set(maxSubKeyLen, info.max_sub_key_len);
    set(maxClassLen, info.max_class_len);
    set(values, info.values);
    set(maxValueNameLen, info.max_value_name_len);
    set(maxValueLen, info.max_value_len);
    set(cbSecurityDescriptor,
        info.security_size != 0 ? info.security_size : static_cast<DWORD>(default_descriptor().size()));
    if (lastWriteTime != nullptr) {
        *lastWriteTime = u64_to_filetime(info.last_write);
    }
    return kOk;
}

LONG RegNotifyChangeKeyValue(HKEY key, bool watchSubtree, DWORD notifyFilter, HANDLE event, bool asynchronous) {
    constexpr DWORD kKinds = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES | REG_NOTIFY_CHANGE_LAST_SET |
                             REG_NOTIFY_CHANGE_SECURITY;
    if ((notifyFilter & ~(kKinds | REG_NOTIFY_THREAD_AGNOSTIC)) != 0 || (notifyFilter & kKinds) == 0 ||
        (asynchronous && !event)) {
        return kInvalidParameter;
    }
    Target t;
    KeyRef ref;
    if (LONG err = resolve_key(key, KEY_NOTIFY, t, ref); err != kOk || (err = t.store->key_alive(ref)) != kOk) {
        return err;
    }
    const HANDLE signal = asynchronous ? event : std::make_shared<ChangeEvent>();
    const LONG err = ChangeMonitor::instance().watch(t.store, reinterpret_cast<std::uintptr_t>(key),
                                                     text::to_upper(t.path()), watchSubtree, notifyFilter, signal);
    if (err != kOk || asynchronous) {
        return err;
    }
    signal->wait();
    return kOk;
}

LONG RegGetKeySecurity(HKEY key, SECURITY_INFORMATION /*information*/, PSECURITY_DESCRIPTOR descriptor,
                       DWORD* cbDescriptor) {
    if (cbDescriptor == nullptr) {
        return kInvalidParameter;
    }
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, 0, t, ref); err != kOk) {
        return err;
    }
    std::vector<std::uint8_t> sd;
    if (const LONG err = t.store->get_security(ref, sd); err != kOk) {
        return err;
    }
    if (sd.empty()) {
        sd = default_descriptor();
    }
    const auto size = static_cast<DWORD>(sd.size());
    if (descriptor == nullptr || *cbDescriptor < size) {
        *cbDescriptor = size;
        return static_cast<LONG>(win::kErrorInsufficientBuffer);
    }
    std::memcpy(descriptor, sd.data(), size);
    *cbDescriptor = size;
    return kOk;
}

LONG RegSetKeySecurity(HKEY key, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor) {
    if (descriptor == nullptr || (information & 0xF) == 0) {
        return kInvalidParameter;
    }
    const auto* sd = static_cast<const std::uint8_t*>(descriptor);
    const std::size_t length = descriptor_length(sd);
    if (length == 0) {
        return kErrorInvalidSecurityDescr;
    }
    Target t;
    KeyRef ref;
    if (const LONG err = resolve_key(key, 0, t, ref); err != kOk) {
        return err;
    }
    const LONG err = t.store->set_security(ref, t.path(), sd, length);
    if (err == kOk) {
        ChangeMonitor::instance().poke();
    }
    return err;
}

}  // namespace rk::sys::reg
