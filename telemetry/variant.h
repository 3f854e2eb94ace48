// The automation values the events tracker takes and returns (VARIANT):
// the three types the updater uses, each with its VT_ number, and empty.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace rk::telemetry {

enum class VarType : std::uint16_t { kEmpty = 0, kI4 = 3, kBstr = 8, kBool = 11 };

class Variant {
public:
    Variant() = default;
    static Variant I4(std::int32_t value) { return Variant(value); }
    static Variant Bstr(std::wstring value) { return Variant(std::move(value)); }
    static Variant Bool(bool value) { return Variant(value); }

    VarType vt() const {
        constexpr VarType kTypes[] = {VarType::kEmpty, VarType::kI4, VarType::kBstr, VarType::kBool};
        return kTypes[value_.index()];
    }
    // The value of the type; call only when vt() says so.
    std::int32_t lVal() const { return std::get<std::int32_t>(value_); }
    const std::wstring& bstrVal() const { return std::get<std::wstring>(value_); }
    bool boolVal() const { return std::get<bool>(value_); }

private:
    template <typename T>
    explicit Variant(T value) : value_(std::move(value)) {}

    std::variant<std::monostate, std::int32_t, std::wstring, bool> value_;
};

}  // namespace rk::telemetry
