// Records as JSON text (RapidJSON, compact, standard string escaping) and
// the in-process message that carries a record into the script engine:
//   {"type":"InProcAPI Plugin","version":"1","payload":{"name":N,"payload":P}}
//   P = {"UniqueIdentifier":I,"payload":R}
// R is the record as an object of string members, in name order.
#pragma once

#include <string>
#include <string_view>

#include "analytics/record.h"

namespace Halden::Analytics {

inline constexpr wchar_t kInProcPluginName[] = L"InProcAPI Plugin";
inline constexpr wchar_t kInProcPluginVersion[] = L"1";
inline constexpr wchar_t kAddRecordMessage[] = L"Analytics.v1.AddRecord";

// Attributes tried, in this order, for a record's unique identifier.
inline constexpr const wchar_t* kUniqueIdNames[] = {L"hit.uniqueid", L"uniqueid",  L"uniqueidentifier",
                                                    L"Hit.UniqueID", L"UniqueId", L"UniqueIdentifier"};

// The record as a JSON object ("{}" for an empty record); empty text when
// it cannot be written.
std::wstring RecordToJson(const Record& record);

// The first identifier attribute the record has; empty (and `found` false)
// when it has none.
std::wstring UniqueIdOf(const Record& record, bool& found);

// P for an identifier and a record's JSON object.
std::wstring InProcPayload(std::wstring_view unique_id, std::wstring_view record_json);

// The whole message for a name and a payload that is JSON text.
std::wstring InProcMessage(std::wstring_view name, std::wstring_view payload_json);

}  // namespace Halden::Analytics
