#include "script_host/script_variable.h"

#include "script_host/script_operation_invoker.h"
#include "script_host/scriptable_object.h"

namespace Corvane::Script {
namespace {

const std::wstring kNoString;
const std::shared_ptr<IScriptableObject> kNoObject;

}  // namespace

ScriptVariable::ScriptVariable(std::wstring value) : type_(ScriptVariableType::kString), string_(std::move(value)) {}
ScriptVariable::ScriptVariable(std::wstring_view value) : type_(ScriptVariableType::kString), string_(value) {}
ScriptVariable::ScriptVariable(const wchar_t* value)
    : type_(ScriptVariableType::kString), string_(value != nullptr ? value : L"") {}
ScriptVariable::ScriptVariable(bool value) : type_(ScriptVariableType::kBoolean), bool_(value) {}
ScriptVariable::ScriptVariable(std::uint32_t value) : type_(ScriptVariableType::kInteger), int_(value) {}
ScriptVariable::ScriptVariable(std::int32_t value)
    : type_(ScriptVariableType::kInteger), int_(static_cast<std::uint32_t>(value)) {}
ScriptVariable::ScriptVariable(std::shared_ptr<IScriptableObject> value) {
    if (value) {
        type_ = ScriptVariableType::kObject;
        object_ = std::move(value);
    }
}

ScriptVariable::ScriptVariable(const ScriptVariable& other) = default;
ScriptVariable::ScriptVariable(ScriptVariable&& other) noexcept
    : type_(other.type_),
      string_(std::move(other.string_)),
      bool_(other.bool_),
      int_(other.int_),
      object_(std::move(other.object_)),
      invoker_(std::move(other.invoker_)) {
    other.Clear();
}
ScriptVariable& ScriptVariable::operator=(const ScriptVariable& other) = default;
ScriptVariable& ScriptVariable::operator=(ScriptVariable&& other) noexcept {
    if (this != &other) {
        type_ = other.type_;
        string_ = std::move(other.string_);
        bool_ = other.bool_;
        int_ = other.int_;
        object_ = std::move(other.object_);
        invoker_ = std::move(other.invoker_);
        other.Clear();
    }
    return *this;
}
ScriptVariable::~ScriptVariable() = default;

const std::wstring& ScriptVariable::GetString() const {
    return type_ == ScriptVariableType::kString ? string_ : kNoString;
}
bool ScriptVariable::GetBool() const { return type_ == ScriptVariableType::kBoolean && bool_; }
std::uint32_t ScriptVariable::GetInt() const { return type_ == ScriptVariableType::kInteger ? int_ : 0; }
const std::shared_ptr<IScriptableObject>& ScriptVariable::GetObject() const {
    return type_ == ScriptVariableType::kObject ? object_ : kNoObject;
}

std::shared_ptr<CScriptOperationInvoker> ScriptVariable::GetInvoker() {
    if (type_ != ScriptVariableType::kObject) {
        return nullptr;
    }
    if (!invoker_) {
        invoker_ = std::make_shared<CScriptOperationInvoker>(object_, object_->GetDispatcher());
    }
    return invoker_;
}

void ScriptVariable::Clear() {
    type_ = ScriptVariableType::kEmpty;
    string_.clear();
    string_.shrink_to_fit();
    bool_ = false;
    int_ = 0;
    object_.reset();
    invoker_.reset();
}

bool ScriptVariable::operator==(const ScriptVariable& other) const {
    if (type_ != other.type_) {
        return false;
    }
    switch (type_) {
        case ScriptVariableType::kEmpty: return true;
        case ScriptVariableType::kString: return string_ == other.string_;
        case ScriptVariableType::kBoolean: return bool_ == other.bool_;
        case ScriptVariableType::kInteger: return int_ == other.int_;
        case ScriptVariableType::kObject: return object_ == other.object_;
    }
    return false;
}

}  // namespace Corvane::Script
