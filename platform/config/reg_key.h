// DiraDoro::CRegKey: a registry key handle object. It shares ownership of
// one CRegKeyImpl, so copies of a CRegKey use the same open key; every
// operation forwards to the operation of the same name on the implementation.
#pragma once

#include <memory>
#include <string>

#include "platform/config/reg_key_impl.h"

namespace DiraDoro {

class CRegKey {
public:
    CRegKey();
    virtual ~CRegKey();
    CRegKey(const CRegKey&) = default;
    CRegKey& operator=(const CRegKey&) = default;

    LONG QueryValue(const wchar_t* name, DWORD* type, void* data, ULONG* size);
    LONG SetValue(const wchar_t* name, DWORD type, const void* data, ULONG size);
    LONG SetGuidValue(const wchar_t* name, const GUID& value);
    LONG SetBinaryValue(const wchar_t* name, const void* data, ULONG size);
    LONG SetDWORDValue(const wchar_t* name, DWORD value);
    LONG SetQWORDValue(const wchar_t* name, ULONGLONG value);
    LONG SetStringValue(const wchar_t* name, const wchar_t* text, DWORD type = rk::sys::reg::REG_SZ);
    LONG SetMultiStringValue(const wchar_t* name, const wchar_t* list);
    LONG QueryGuidValue(const wchar_t* name, GUID& value);
    LONG QueryBinaryValue(const wchar_t* name, void* data, ULONG* size);
    LONG QueryDWORDValue(const wchar_t* name, DWORD& value);
    LONG QueryQWORDValue(const wchar_t* name, ULONGLONG& value);
    LONG QueryStringValue(const wchar_t* name, std::wstring& value);
    LONG QueryStringBuffer(const wchar_t* name, wchar_t* buffer, ULONG* chars);
    LONG QueryMultiStringValue(const wchar_t* name, wchar_t* buffer, ULONG* chars);
    LONG GetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor, DWORD* size);
    LONG SetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor);
    LONG Create(HKEY parent, const wchar_t* subKey, const wchar_t* keyClass = nullptr,
                DWORD options = rk::sys::reg::REG_OPTION_NON_VOLATILE,
                REGSAM access = rk::sys::reg::KEY_READ | rk::sys::reg::KEY_WRITE,
                SECURITY_ATTRIBUTES* securityAttributes = nullptr, DWORD* disposition = nullptr);
    LONG Open(HKEY parent, const wchar_t* subKey, REGSAM access = rk::sys::reg::KEY_READ | rk::sys::reg::KEY_WRITE);
    LONG Close();
    LONG Flush();
    HKEY Detach();
    void Attach(HKEY key);
    LONG EnumSubKey(DWORD index, wchar_t* name, DWORD* nameSize, FILETIME* lastWrite = nullptr);
    LONG NotifyChange(bool watchSubtree, DWORD filter, HANDLE event, bool asynchronous = true);
    LONG DeleteSubKey(const wchar_t* subKey);
    LONG RecurseDeleteKey(const wchar_t* subKey);
    LONG DeleteValue(const wchar_t* name);
    LONG SetKeyAccessRules(DWORD allowUsersWrite);
    void SetDeleteOnClose(bool deleteOnClose);
    bool GetDeleteOnClose() const;

    // The open key handle (null when none), as ATL's CRegKey converts.
    operator HKEY() const { return impl_->key(); }  // NOLINT(google-explicit-constructor)

protected:
    explicit CRegKey(std::shared_ptr<internal::CRegKeyImpl> impl);

private:
    std::shared_ptr<internal::CRegKeyImpl> impl_;
};

}  // namespace DiraDoro
