// The value that crosses between native code and scripts.
//
// Type numbers are part of the contract (argument type words and the
// context item store test them): 0 empty, 1 string, 2 boolean, 3 integer,
// 4 object. Copies deep-copy strings and share objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Corvane::Script {

class IScriptableObject;
class CScriptOperationInvoker;

enum class ScriptVariableType : std::uint32_t {
    kEmpty = 0,
    kString = 1,
    kBoolean = 2,
    kInteger = 3,
    kObject = 4,
};

class ScriptVariable {
public:
    ScriptVariable() = default;
    ScriptVariable(std::wstring value);                     // NOLINT(google-explicit-constructor)
    ScriptVariable(std::wstring_view value);                // NOLINT(google-explicit-constructor)
    ScriptVariable(const wchar_t* value);                   // NOLINT(google-explicit-constructor); null: empty string
    explicit ScriptVariable(bool value);
    ScriptVariable(std::uint32_t value);                    // NOLINT(google-explicit-constructor)
    ScriptVariable(std::int32_t value);                     // NOLINT(google-explicit-constructor); kept as its 32 bits
    ScriptVariable(std::shared_ptr<IScriptableObject> value);  // NOLINT(google-explicit-constructor); null: empty

    ScriptVariable(const ScriptVariable& other);
    ScriptVariable(ScriptVariable&& other) noexcept;
    ScriptVariable& operator=(const ScriptVariable& other);
    ScriptVariable& operator=(ScriptVariable&& other) noexcept;
    ~ScriptVariable();

    ScriptVariableType GetType() const { return type_; }
    std::uint32_t GetTypeNumber() const { return static_cast<std::uint32_t>(type_); }
    bool IsEmpty() const { return type_ == ScriptVariableType::kEmpty; }

    // Accessors give the value of their own type and a neutral value
    // (empty text, false, 0, null) for any other type.
    const std::wstring& GetString() const;
    bool GetBool() const;
    std::uint32_t GetInt() const;
    // The same 32 bits read as signed: what scripts see.
    std::int32_t GetSignedInt() const { return static_cast<std::int32_t>(GetInt()); }
    const std::shared_ptr<IScriptableObject>& GetObject() const;

    // The invoker that calls the object's methods through the object's
    // dispatcher; created on first use, shared by copies made afterwards.
    // Null for other types.
    std::shared_ptr<CScriptOperationInvoker> GetInvoker();

    void Clear();

    bool operator==(const ScriptVariable& other) const;

private:
    ScriptVariableType type_ = ScriptVariableType::kEmpty;
    std::wstring string_;
    bool bool_ = false;
    std::uint32_t int_ = 0;
    std::shared_ptr<IScriptableObject> object_;
    std::shared_ptr<CScriptOperationInvoker> invoker_;
};

}  // namespace Corvane::Script
