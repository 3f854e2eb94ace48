// The open registry key behind DiraDoro::CRegKey. Operations return Windows
// error numbers (0 success); every one that needs a key returns 87 while none
// is open. The view bits of the access mask (KEY_WOW64_32KEY / _64KEY) used
// to open or create the key are kept and reused when subkeys are deleted.
#pragma once

#include <string>

#include "platform/config/reg_types.h"

namespace DiraDoro::internal {

class CRegKeyImpl {
public:
    CRegKeyImpl() = default;
    virtual ~CRegKeyImpl();
    CRegKeyImpl(const CRegKeyImpl&) = delete;
    CRegKeyImpl& operator=(const CRegKeyImpl&) = delete;

    // Raw access (RegQueryValueExW / RegSetValueExW). The typed operations
    // below all go through these two.
    virtual LONG QueryValue(const wchar_t* name, DWORD* type, void* data, ULONG* size);
    virtual LONG SetValue(const wchar_t* name, DWORD type, const void* data, ULONG size);

    virtual LONG SetGuidValue(const wchar_t* name, const GUID& value);
    virtual LONG SetBinaryValue(const wchar_t* name, const void* data, ULONG size);
    virtual LONG SetDWORDValue(const wchar_t* name, DWORD value);
    virtual LONG SetQWORDValue(const wchar_t* name, ULONGLONG value);
    virtual LONG SetStringValue(const wchar_t* name, const wchar_t* text, DWORD type);
    // `list`: strings each ended by L'\0', the list ended by an empty string.
    virtual LONG SetMultiStringValue(const wchar_t* name, const wchar_t* list);
    virtual LONG QueryGuidValue(const wchar_t* name, GUID& value);
    virtual LONG QueryBinaryValue(const wchar_t* name, void* data, ULONG* size);
    virtual LONG QueryDWORDValue(const wchar_t* name, DWORD& value);
    virtual LONG QueryQWORDValue(const wchar_t* name, ULONGLONG& value);
    virtual LONG QueryStringValue(const wchar_t* name, std::wstring& value);
    // *chars: buffer size in characters in; characters (terminator included)
    // out, also on 234.
    virtual LONG QueryStringBuffer(const wchar_t* name, wchar_t* buffer, ULONG* chars);
    virtual LONG QueryMultiStringValue(const wchar_t* name, wchar_t* buffer, ULONG* chars);
    virtual LONG GetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor, DWORD* size);
    virtual LONG SetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor);
    virtual LONG Create(HKEY parent, const wchar_t* subKey, const wchar_t* keyClass, DWORD options, REGSAM access,
                        SECURITY_ATTRIBUTES* securityAttributes, DWORD* disposition);
    virtual LONG Open(HKEY parent, const wchar_t* subKey, REGSAM access);
    virtual LONG Close();
    virtual LONG Flush();
    virtual HKEY Detach();
    virtual void Attach(HKEY key);
    virtual LONG EnumSubKey(DWORD index, wchar_t* name, DWORD* nameSize, FILETIME* lastWrite);
    virtual LONG NotifyChange(bool watchSubtree, DWORD filter, HANDLE event, bool asynchronous);
    virtual LONG DeleteSubKey(const wchar_t* subKey);
    virtual LONG RecurseDeleteKey(const wchar_t* subKey);
    virtual LONG DeleteValue(const wchar_t* name);
    // Replaces the key's DACL (docs/registry.md): SYSTEM and Administrators
    // full control; Users read, or full control when `allowUsersWrite` != 0.
    virtual LONG SetKeyAccessRules(DWORD allowUsersWrite);
    virtual void SetDeleteOnClose(bool deleteOnClose);
    virtual bool GetDeleteOnClose() const;

    HKEY key() const { return key_; }
    REGSAM view() const { return view_; }

private:
    HKEY key_ = nullptr;
    REGSAM view_ = 0;
    bool delete_on_close_ = false;
};

}  // namespace DiraDoro::internal
