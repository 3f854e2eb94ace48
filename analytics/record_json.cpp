#include "analytics/record_json.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <vector>

#include "platform/text/utf.h"

namespace Halden::Analytics {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

bool write_string(Writer& writer, std::wstring_view text) {
    const std::string utf8 = rk::text::wide_to_utf8(text);
    return writer.String(utf8.data(), static_cast<rapidjson::SizeType>(utf8.size()));
}

bool write_raw(Writer& writer, std::wstring_view json) {
    const std::string utf8 = rk::text::wide_to_utf8(json);
    return writer.RawValue(utf8.data(), utf8.size(), rapidjson::kObjectType);
}

std::wstring text_of(const rapidjson::StringBuffer& buffer) {
    return rk::text::utf8_to_wide(std::string_view(buffer.GetString(), buffer.GetSize()));
}

}  // namespace

std::wstring RecordToJson(const Record& record) {
    std::vector<const Record::value_type*> members;
    members.reserve(record.size());
    for (const auto& member : record) {
        members.push_back(&member);
    }
    std::sort(members.begin(), members.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    bool ok = writer.StartObject();
    for (const auto* member : members) {
        ok = ok && write_string(writer, member->first) && write_string(writer, member->second);
    }
    ok = ok && writer.EndObject();
    return ok ? text_of(buffer) : std::wstring();
}

std::wstring UniqueIdOf(const Record& record, bool& found) {
    for (const wchar_t* name : kUniqueIdNames) {
        if (const auto it = record.find(name); it != record.end()) {
            found = true;
            return it->second;
        }
    }
    found = false;
    return {};
}

std::wstring InProcPayload(std::wstring_view unique_id, std::wstring_view record_json) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    write_string(writer, kAttrUniqueIdentifier);
    write_string(writer, unique_id);
    write_string(writer, L"payload");
    write_raw(writer, record_json);
    writer.EndObject();
    return text_of(buffer);
}

std::wstring InProcMessage(std::wstring_view name, std::wstring_view payload_json) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    write_string(writer, L"type");
    write_string(writer, kInProcPluginName);
    write_string(writer, L"version");
    write_string(writer, kInProcPluginVersion);
    write_string(writer, L"payload");
    writer.StartObject();
    write_string(writer, L"name");
    write_string(writer, name);
    write_string(writer, L"payload");
    write_raw(writer, payload_json);
    writer.EndObject();
    writer.EndObject();
    return text_of(buffer);
}

}  // namespace Halden::Analytics
