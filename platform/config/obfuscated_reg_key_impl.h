// The scrambling CRegKeyImpl: values are kept as REG_BINARY blobs in the
// scrambled layout of scrambler.h, written and read under narrow names, with
// the caller's type inside. Only QueryValue and SetValue change, so every
// typed read and write of CRegKey goes through the scrambled store; a value
// that does not carry the layout is refused with 13.
#pragma once

#include "platform/config/reg_key_impl.h"

namespace DiraDoro {

class CObfuscatedRegKeyImpl : public internal::CRegKeyImpl {
public:
    LONG QueryValue(const wchar_t* name, DWORD* type, void* data, ULONG* size) override;
    LONG SetValue(const wchar_t* name, DWORD type, const void* data, ULONG size) override;
};

}  // namespace DiraDoro
