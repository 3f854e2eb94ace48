// The value data of the registry commands, built from their Type and Value
// attributes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/errors/win_error.h"

namespace XMLUpdater::v2 {

inline constexpr wchar_t kRegTypeString[] = L"STR";
inline constexpr wchar_t kRegTypeNum[] = L"NUM";
inline constexpr wchar_t kRegTypeDword[] = L"DWORD";
inline constexpr wchar_t kRegTypeQword[] = L"QWORD";
inline constexpr wchar_t kRegTypeBinary[] = L"BIN";

struct RegistryData {
    rk::DWORD type = 0;              // REG_SZ, REG_DWORD, REG_QWORD or REG_BINARY
    std::vector<std::uint8_t> bytes;  // as Windows stores them (little-endian, UTF-16LE)
};

// Builds the data or fails with the message already logged:
//   "STR"            REG_SZ: Value as UTF-16LE with its terminating zero;
//   "NUM", "DWORD"   REG_DWORD: Value, whole text, unsigned 32-bit decimal;
//   "QWORD"          REG_QWORD: Value, whole text, unsigned 64-bit decimal;
//   "BIN"            REG_BINARY: hex digit pairs, (length + 1) / 2 bytes, an
//                    odd final digit is the high half of the last byte.
bool BuildRegistryData(const std::wstring& type, const std::wstring& value, RegistryData& data);

}  // namespace XMLUpdater::v2
