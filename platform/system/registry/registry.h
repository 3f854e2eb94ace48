// The registry capability of the platform seam: the Windows registry API with
// its Windows meanings (handles, predefined root keys, access masks, 32/64-bit
// views, value types, buffer-size rules, error numbers), kept under the
// Windows names in namespace rk::sys::reg so callers read like Win32 code.
//
// On Linux the keys live in SQLite stores (docs/registry.md):
//   - HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG and
//     HKEY_CLASSES_ROOT: <root>/var/lib/rkupdater/registry.db;
//   - HKEY_CURRENT_USER: <root>$XDG_CONFIG_HOME/rkupdater/registry.db;
//   - volatile keys: registry-volatile.db in the machine (or session) runtime
//     folder, gone after a reboot.
// Every function returns a Windows error number (0 success) and never throws.
// Handles may be used from any thread; calls on one store are serialised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/errors/win_error.h"
#include "platform/system/registry/change_event.h"

namespace rk::sys::reg {

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;
using BYTE = std::uint8_t;
using SECURITY_INFORMATION = DWORD;
using PSECURITY_DESCRIPTOR = void*;
// Windows hands an event HANDLE to RegNotifyChangeKeyValue; here the event
// object itself is shared between the caller and the change monitor.
using HANDLE = std::shared_ptr<ChangeEvent>;

// 100-ns intervals since 1601-01-01 UTC.
struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;
};

struct SECURITY_ATTRIBUTES {
    DWORD nLength = sizeof(SECURITY_ATTRIBUTES);
    PSECURITY_DESCRIPTOR lpSecurityDescriptor = nullptr;
    bool bInheritHandle = false;
};

// Predefined keys with the values 64-bit Windows gives them (sign-extended).
namespace detail {
inline HKEY predefined(std::uint32_t value) {
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}
}  // namespace detail
inline const HKEY HKEY_CLASSES_ROOT = detail::predefined(0x80000000u);
inline const HKEY HKEY_CURRENT_USER = detail::predefined(0x80000001u);
inline const HKEY HKEY_LOCAL_MACHINE = detail::predefined(0x80000002u);
inline const HKEY HKEY_USERS = detail::predefined(0x80000003u);
inline const HKEY HKEY_CURRENT_CONFIG = detail::predefined(0x80000005u);

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM KEY_WOW64_RES = 0x0300;
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM WRITE_DAC = 0x00040000;
inline constexpr REGSAM WRITE_OWNER = 0x00080000;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
inline constexpr REGSAM GENERIC_ALL = 0x10000000;
inline constexpr REGSAM GENERIC_EXECUTE = 0x20000000;
inline constexpr REGSAM GENERIC_WRITE = 0x40000000;
inline constexpr REGSAM GENERIC_READ = 0x80000000;

// RegCreateKeyEx options and dispositions.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0;
inline constexpr DWORD REG_OPTION_VOLATILE = 0x1;
inline constexpr DWORD REG_OPTION_CREATE_LINK = 0x2;
inline constexpr DWORD REG_OPTION_BACKUP_RESTORE = 0x4;
inline constexpr DWORD REG_OPTION_OPEN_LINK = 0x8;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// RegNotifyChangeKeyValue filter.
inline constexpr DWORD REG_NOTIFY_CHANGE_NAME = 0x1;
inline constexpr DWORD REG_NOTIFY_CHANGE_ATTRIBUTES = 0x2;
inline constexpr DWORD REG_NOTIFY_CHANGE_LAST_SET = 0x4;
inline constexpr DWORD REG_NOTIFY_CHANGE_SECURITY = 0x8;
inline constexpr DWORD REG_NOTIFY_THREAD_AGNOSTIC = 0x10000000;

// Security information bits (RegGetKeySecurity / RegSetKeySecurity).
inline constexpr SECURITY_INFORMATION OWNER_SECURITY_INFORMATION = 0x1;
inline constexpr SECURITY_INFORMATION GROUP_SECURITY_INFORMATION = 0x2;
inline constexpr SECURITY_INFORMATION DACL_SECURITY_INFORMATION = 0x4;
inline constexpr SECURITY_INFORMATION SACL_SECURITY_INFORMATION = 0x8;

// Windows limits, in characters.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
// Error numbers the registry adds to the common list.
inline constexpr LONG kErrorInvalidSecurityDescr = 1338;

// Key names are case-insensitive and case-preserving; subkey paths separate
// components with '\'. A null or empty subkey names the key itself.
LONG RegCreateKeyExW(HKEY key, const wchar_t* subKey, DWORD reserved, const wchar_t* keyClass,
                     DWORD options, REGSAM samDesired, const SECURITY_ATTRIBUTES* securityAttributes,
                     HKEY* result, DWORD* disposition);
LONG RegOpenKeyExW(HKEY key, const wchar_t* subKey, DWORD options, REGSAM samDesired, HKEY* result);
LONG RegCloseKey(HKEY key);
LONG RegFlushKey(HKEY key);

// Raw value access. String data is UTF-16LE bytes as Windows stores it.
// data == nullptr: only *type and *cbData are returned. A buffer that is too
// small gives 234 with *cbData set to the size needed.
LONG RegQueryValueExW(HKEY key, const wchar_t* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* cbData);
LONG RegSetValueExW(HKEY key, const wchar_t* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD cbData);
// Narrow-named forms (UTF-8 names). The data is passed through unchanged, so
// only non-string types keep their Windows meaning.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* cbData);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD cbData);
LONG RegDeleteValueW(HKEY key, const wchar_t* valueName);

// A key with subkeys is refused with 5. samDesired carries the view bits.
LONG RegDeleteKeyW(HKEY key, const wchar_t* subKey);
LONG RegDeleteKeyExW(HKEY key, const wchar_t* subKey, REGSAM samDesired, DWORD reserved);
// subKey null: deletes the values and subkeys of `key`, keeping the key.
LONG RegDeleteTreeW(HKEY key, const wchar_t* subKey);

// Subkeys come in the order of their upper-cased names, values in the order
// they were first set. *cchName is in characters and includes the
// terminator on input, excludes it on output; 259 past the end.
LONG RegEnumKeyExW(HKEY key, DWORD index, wchar_t* name, DWORD* cchName, DWORD* reserved,
                   wchar_t* keyClass, DWORD* cchClass, FILETIME* lastWriteTime);
LONG RegEnumValueW(HKEY key, DWORD index, wchar_t* valueName, DWORD* cchValueName, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* cbData);
LONG RegQueryInfoKeyW(HKEY key, wchar_t* keyClass, DWORD* cchClass, DWORD* reserved, DWORD* subKeys,
                      DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                      DWORD* maxValueLen, DWORD* cbSecurityDescriptor, FILETIME* lastWriteTime);

// Signals `event` once when the key (or, with watchSubtree, anything below
// it) changes in a way the filter selects, whichever process made the
// change, or when the handle is closed. asynchronous == false blocks the
// caller until then instead.
LONG RegNotifyChangeKeyValue(HKEY key, bool watchSubtree, DWORD notifyFilter, HANDLE event,
                             bool asynchronous);

// The stored self-relative descriptor is opaque bytes that round-trip; a key
// without one reports a minimal descriptor (docs/registry.md).
LONG RegGetKeySecurity(HKEY key, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor,
                       DWORD* cbDescriptor);
LONG RegSetKeySecurity(HKEY key, SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor);

// Not a Win32 function: runs `body` as one transaction of the store that
// holds `key` (HKEY_CURRENT_USER's store, or the machine store of the other
// root keys and their views), for all-or-nothing batches such as a .reg file
// import. The changes `body` makes on that store from this thread commit
// together when it returns 0 and are rolled back otherwise; calls of other
// threads on the store wait until it ends. Returns body's result or the
// commit's failure.
LONG run_in_transaction(HKEY key, const std::function<LONG()>& body);

// Not a Win32 function: gives back the memory the open stores keep for
// speed (page caches, prepared statements, the key lookup cache), for a
// process about to idle; later calls rebuild what they use.
void release_cached_memory();

// FILETIME helpers.
std::uint64_t filetime_to_u64(const FILETIME& ft);
FILETIME u64_to_filetime(std::uint64_t value);

}  // namespace rk::sys::reg
