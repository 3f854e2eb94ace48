#include "framework_client/payloads.h"

#include <limits>

#include "framework_client/framework_words.h"
#include "platform/text/format.h"
#include "platform/text/json.h"

namespace ctp::detail {

namespace json = rk::text::json;

namespace {

constexpr wchar_t kInvalidData[] = L"a data value is invalid";

bool parse_object(std::string_view payload, std::size_t limit, const wchar_t* too_large, rapidjson::Document& doc,
                  payload_error& error) {
    if (payload.size() > limit) {
        error = {too_large, true};
        return false;
    }
    if (!json::parse(payload, doc) || !doc.IsObject()) {
        error = {kInvalidData, false};
        return false;
    }
    return true;
}

std::wstring missing(const char* field) {
    const std::wstring name = rk::text::format(L"%hs", field);
    return rk::text::format(kSystemEventMissing, static_cast<int>(name.size()), name);
}

template <typename T>
bool integer_member(const rapidjson::Value& object, const char* name, T& out) {
    const auto* m = json::member(object, name);
    if (m == nullptr) {
        return false;
    }
    if constexpr (std::is_signed_v<T>) {
        if (!m->IsInt64() || m->GetInt64() < std::numeric_limits<T>::min() || m->GetInt64() > std::numeric_limits<T>::max()) {
            return false;
        }
        out = static_cast<T>(m->GetInt64());
    } else {
        if (!m->IsUint64() || m->GetUint64() > std::numeric_limits<T>::max()) {
            return false;
        }
        out = static_cast<T>(m->GetUint64());
    }
    return true;
}

}  // namespace

std::optional<setting_change> parse_setting_change(std::string_view payload, payload_error& error) {
    rapidjson::Document doc;
    if (!parse_object(payload, kMaxSettingChangePayload, kSettingPayloadTooLarge, doc, error)) {
        return std::nullopt;
    }
    auto name = json::string_member(doc, kFieldName);
    auto value = json::string_member(doc, kFieldValue);
    if (!name || !value || name->empty()) {
        error = {kInvalidData, false};
        return std::nullopt;
    }
    return setting_change{std::move(*name), std::move(*value)};
}

std::optional<system_event> parse_system_event(std::string_view payload, payload_error& error) {
    rapidjson::Document doc;
    if (!parse_object(payload, kMaxIncomingPayload, kInvalidData, doc, error)) {
        return std::nullopt;
    }
    system_event e;
    auto domain = json::string_member(doc, kFieldDomain);
    if (!domain) {
        error = {missing(kFieldDomain), false};
        return std::nullopt;
    }
    e.domain = std::move(*domain);
    if (!integer_member(doc, kFieldCtrlCode, e.ctrl_code)) {
        error = {missing(kFieldCtrlCode), false};
        return std::nullopt;
    }
    if (!integer_member(doc, kFieldEventType, e.event_type)) {
        error = {missing(kFieldEventType), false};
        return std::nullopt;
    }
    if (!integer_member(doc, kFieldSessionId, e.session_id)) {
        error = {missing(kFieldSessionId), false};
        return std::nullopt;
    }
    return e;
}

std::optional<signal_message> parse_signal(std::string_view payload, payload_error& error) {
    rapidjson::Document doc;
    if (!parse_object(payload, kMaxSignalPayload, kSignalPayloadTooLarge, doc, error)) {
        return std::nullopt;
    }
    auto event = json::string_member(doc, kFieldEvent);
    auto body = json::string_member(doc, kFieldPayload);
    if (!event || !body) {
        error = {kInvalidData, false};
        return std::nullopt;
    }
    return signal_message{std::move(*event), std::move(*body)};
}

std::string name_payload(std::wstring_view name) { return json::ObjectWriter().add(kFieldName, name).text(); }

std::string setting_payload(std::wstring_view name, std::wstring_view value) {
    return json::ObjectWriter().add(kFieldName, name).add(kFieldValue, value).text();
}

std::string topic_payload(std::wstring_view topic) { return json::ObjectWriter().add(kFieldTopic, topic).text(); }

std::string publish_payload(std::wstring_view topic, std::wstring_view payload) {
    return json::ObjectWriter().add(kFieldTopic, topic).add(kFieldPayload, payload).text();
}

std::string event_payload(std::wstring_view event) { return json::ObjectWriter().add(kFieldEvent, event).text(); }

std::string signal_payload(std::wstring_view event, std::wstring_view payload) {
    return json::ObjectWriter().add(kFieldEvent, event).add(kFieldPayload, payload).text();
}

std::string names_payload(const std::vector<std::wstring>& names) {
    return json::ObjectWriter().add(kFieldNames, names).text();
}

std::string system_event_payload(const system_event& e) {
    return json::ObjectWriter()
        .add(kFieldDomain, e.domain)
        .add(kFieldCtrlCode, std::int64_t{e.ctrl_code})
        .add(kFieldEventType, std::int64_t{e.event_type})
        .add(kFieldSessionId, std::uint64_t{e.session_id})
        .text();
}

}  // namespace ctp::detail
