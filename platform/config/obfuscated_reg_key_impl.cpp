#include "platform/config/obfuscated_reg_key_impl.h"

#include <cstring>
#include <vector>

#include "platform/config/scrambler.h"
#include "platform/text/utf.h"

namespace DiraDoro {
namespace reg = rk::sys::reg;
namespace {

constexpr LONG kInvalidParameter = static_cast<LONG>(rk::win::kErrorInvalidParameter);
constexpr LONG kInvalidData = static_cast<LONG>(rk::win::kErrorInvalidData);
constexpr LONG kMoreData = static_cast<LONG>(rk::win::kErrorMoreData);

std::string narrow_name(const wchar_t* name) { return name != nullptr ? rk::text::wide_to_utf8(name) : std::string(); }

}  // namespace

LONG CObfuscatedRegKeyImpl::SetValue(const wchar_t* name, DWORD type, const void* data, ULONG size) {
    if (key() == nullptr || data == nullptr || size == 0) {
        return kInvalidParameter;
    }
    const auto stored = internal::scramble(type, std::span(static_cast<const std::uint8_t*>(data), size));
    return reg::RegSetValueExA(key(), narrow_name(name).c_str(), 0, reg::REG_BINARY, stored.data(),
                               static_cast<DWORD>(stored.size()));
}

LONG CObfuscatedRegKeyImpl::QueryValue(const wchar_t* name, DWORD* type, void* data, ULONG* size) {
    if (key() == nullptr || (data != nullptr && size == nullptr)) {
        return kInvalidParameter;
    }
    const std::string narrow = narrow_name(name);
    DWORD stored_type = 0;
    DWORD stored_size = 0;
    if (const LONG err = reg::RegQueryValueExA(key(), narrow.c_str(), nullptr, &stored_type, nullptr, &stored_size);
        err != 0) {
        return err;
    }
    std::vector<std::uint8_t> stored(stored_size);
    if (const LONG err =
            reg::RegQueryValueExA(key(), narrow.c_str(), nullptr, &stored_type, stored.data(), &stored_size);
        err != 0) {
        return err;
    }
    stored.resize(stored_size);
    const auto plain = stored_type == reg::REG_BINARY ? internal::unscramble(stored) : std::nullopt;
    if (!plain) {
        return kInvalidData;
    }
    if (type != nullptr) {
        *type = plain->tag;
    }
    if (size == nullptr) {
        return 0;
    }
    const auto needed = static_cast<ULONG>(plain->data.size());
    if (data != nullptr) {
        if (*size < needed) {
            *size = needed;
            return kMoreData;
        }
        if (needed != 0) {
            std::memcpy(data, plain->data.data(), needed);
        }
    }
    *size = needed;
    return 0;
}

}  // namespace DiraDoro
