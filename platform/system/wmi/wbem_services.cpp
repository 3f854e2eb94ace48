#include "platform/system/wmi/wbem_services.h"

#include <algorithm>
#include <string>

#include "platform/system/wmi/wmi_classes.h"
#include "platform/system/wmi/wql_parser.h"
#include "platform/text/strings.h"

namespace rk::sys::wmi {
namespace {

std::optional<std::wstring> value_text(const WbemValue& value) {
    if (const auto* text = std::get_if<std::wstring>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return std::to_wstring(*number);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return std::wstring(*flag ? L"TRUE" : L"FALSE");
    }
    return std::nullopt;
}

std::wstring literal_text(const WqlLiteral& literal) {
    if (const auto* text = std::get_if<std::wstring>(&literal)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int64_t>(&literal)) {
        return std::to_wstring(*number);
    }
    return std::get<bool>(literal) ? L"TRUE" : L"FALSE";
}

bool has_property(const WmiClass& wmi_class, std::wstring_view name) {
    const auto& names = wmi_class.properties();
    return std::any_of(names.begin(), names.end(), [&](std::wstring_view known) { return text::iequals(known, name); });
}

bool matches(const WbemClassObject& object, const WqlCondition& condition) {
    WbemValue value;
    if (object.get(condition.property, value) != win::kSOk) {
        return false;
    }
    const auto text = value_text(value);
    return text && text::iequals(*text, literal_text(condition.value));
}

WbemClassObject project(const WbemClassObject& object, const std::vector<std::wstring>& selected) {
    std::vector<WbemProperty> kept;
    for (const auto& property : object.properties()) {
        const bool wanted = std::any_of(selected.begin(), selected.end(),
                                        [&](const std::wstring& name) { return text::iequals(name, property.name); });
        if (wanted) {
            kept.push_back(property);
        }
    }
    return WbemClassObject(object.class_name(), std::move(kept));
}

}  // namespace

HRESULT WbemServices::exec_query(std::wstring_view language, std::wstring_view query,
                                 std::shared_ptr<WbemEnumerator>& enumerator) const {
    enumerator.reset();
    if (!text::iequals(language, L"WQL")) {
        return win::kWbemEInvalidQueryType;
    }
    WqlQuery parsed;
    if (const HRESULT hr = parse_wql(query, parsed); hr != win::kSOk) {
        return hr;
    }
    const WmiClass* wmi_class = find_wmi_class(parsed.class_name);
    if (wmi_class == nullptr) {
        return win::kWbemEInvalidClass;
    }
    const bool known = std::all_of(parsed.properties.begin(), parsed.properties.end(),
                                   [&](const std::wstring& name) { return has_property(*wmi_class, name); });
    if (!known || (parsed.where && !has_property(*wmi_class, parsed.where->property))) {
        return win::kWbemEInvalidQuery;
    }
    std::vector<std::shared_ptr<const WbemClassObject>> results;
    for (auto& object : wmi_class->instances(*source_)) {
        if (parsed.where && !matches(object, *parsed.where)) {
            continue;
        }
        results.push_back(std::make_shared<const WbemClassObject>(
            parsed.properties.empty() ? std::move(object) : project(object, parsed.properties)));
    }
    enumerator = std::make_shared<WbemEnumerator>(std::move(results));
    return win::kSOk;
}

}  // namespace rk::sys::wmi
