#include "platform/config/reg_key.h"

namespace DiraDoro {

CRegKey::CRegKey() : impl_(std::make_shared<internal::CRegKeyImpl>()) {}
CRegKey::CRegKey(std::shared_ptr<internal::CRegKeyImpl> impl) : impl_(std::move(impl)) {}
CRegKey::~CRegKey() = default;

LONG CRegKey::QueryValue(const wchar_t* name, DWORD* type, void* data, ULONG* size) {
    return impl_->QueryValue(name, type, data, size);
}
LONG CRegKey::SetValue(const wchar_t* name, DWORD type, const void* data, ULONG size) {
    return impl_->SetValue(name, type, data, size);
}
LONG CRegKey::SetGuidValue(const wchar_t* name, const GUID& value) { return impl_->SetGuidValue(name, value); }
LONG CRegKey::SetBinaryValue(const wchar_t* name, const void* data, ULONG size) {
    return impl_->SetBinaryValue(name, data, size);
}
LONG CRegKey::SetDWORDValue(const wchar_t* name, DWORD value) { return impl_->SetDWORDValue(name, value); }
LONG CRegKey::SetQWORDValue(const wchar_t* name, ULONGLONG value) { return impl_->SetQWORDValue(name, value); }
LONG CRegKey::SetStringValue(const wchar_t* name, const wchar_t* text, DWORD type) {
    return impl_->SetStringValue(name, text, type);
}
LONG CRegKey::SetMultiStringValue(const wchar_t* name, const wchar_t* list) {
    return impl_->SetMultiStringValue(name, list);
}
LONG CRegKey::QueryGuidValue(const wchar_t* name, GUID& value) { return impl_->QueryGuidValue(name, value); }
LONG CRegKey::QueryBinaryValue(const wchar_t* name, void* data, ULONG* size) {
    return impl_->QueryBinaryValue(name, data, size);
}
LONG CRegKey::QueryDWORDValue(const wchar_t* name, DWORD& value) { return impl_->QueryDWORDValue(name, value); }
LONG CRegKey::QueryQWORDValue(const wchar_t* name, ULONGLONG& value) { return impl_->QueryQWORDValue(name, value); }
LONG CRegKey::QueryStringValue(const wchar_t* name, std::wstring& value) {
    return impl_->QueryStringValue(name, value);
}
LONG CRegKey::QueryStringBuffer(const wchar_t* name, wchar_t* buffer, ULONG* chars) {
    return impl_->QueryStringBuffer(name, buffer, chars);
}
LONG CRegKey::QueryMultiStringValue(const wchar_t* name, wchar_t* buffer, ULONG* chars) {
    return impl_->QueryMultiStringValue(name, buffer, chars);
}
LONG CRegKey::GetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor, DWORD* size) {
    return impl_->GetKeySecurity(information, descriptor, size);
}
LONG CRegKey::SetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR descriptor) {
    return impl_->SetKeySecurity(information, descriptor);
}
LONG CRegKey::Create(HKEY parent, const wchar_t* subKey, const wchar_t* keyClass, DWORD options, REGSAM access,
                     SECURITY_ATTRIBUTES* securityAttributes, DWORD* disposition) {
    return impl_->Create(parent, subKey, keyClass, options, access, securityAttributes, disposition);
}
LONG CRegKey::Open(HKEY parent, const wchar_t* subKey, REGSAM access) { return impl_->Open(parent, subKey, access); }
LONG CRegKey::Close() { return impl_->Close(); }
LONG CRegKey::Flush() { return impl_->Flush(); }
HKEY CRegKey::Detach() { return impl_->Detach(); }
void CRegKey::Attach(HKEY key) { impl_->Attach(key); }
LONG CRegKey::EnumSubKey(DWORD index, wchar_t* name, DWORD* nameSize, FILETIME* lastWrite) {
    return impl_->EnumSubKey(index, name, nameSize, lastWrite);
}
LONG CRegKey::NotifyChange(bool watchSubtree, DWORD filter, HANDLE event, bool asynchronous) {
    return impl_->NotifyChange(watchSubtree, filter, std::move(event), asynchronous);
}
LONG CRegKey::DeleteSubKey(const wchar_t* subKey) { return impl_->DeleteSubKey(subKey); }
LONG CRegKey::RecurseDeleteKey(const wchar_t* subKey) { return impl_->RecurseDeleteKey(subKey); }
LONG CRegKey::DeleteValue(const wchar_t* name) { return impl_->DeleteValue(name); }
LONG CRegKey::SetKeyAccessRules(DWORD allowUsersWrite) { return impl_->SetKeyAccessRules(allowUsersWrite); }
void CRegKey::SetDeleteOnClose(bool deleteOnClose) { impl_->SetDeleteOnClose(deleteOnClose); }
bool CRegKey::GetDeleteOnClose() const { return impl_->GetDeleteOnClose(); }

}  // namespace DiraDoro
