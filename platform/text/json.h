// JSON at the edges (RapidJSON): parsing untrusted UTF-8 text without
// recursion, reading members as wide text, and writing flat objects.
#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::text::json {

// Parses `text` (UTF-8, validated) iteratively, so nesting depth costs heap,
// not stack. False for malformed text, trailing garbage included.
bool parse(std::string_view text, rapidjson::Document& doc);

// The member `name` of an object, or null (also when `value` is no object).
const rapidjson::Value* member(const rapidjson::Value& value, const char* name);

// A string member as wide text.
std::optional<std::wstring> string_member(const rapidjson::Value& value, const char* name);

// Compact text of one flat object, members in the order added.
class ObjectWriter {
public:
    ObjectWriter& add(std::string_view name, std::wstring_view value);
    ObjectWriter& add(std::string_view name, std::uint64_t value);
    ObjectWriter& add(std::string_view name, std::int64_t value);
    ObjectWriter& add(std::string_view name, const std::vector<std::wstring>& values);
    std::string text() const { return text_ + "}"; }

private:
    void key(std::string_view name);
    std::string text_ = "{";
};

// `value` as a JSON string literal (quotes and escapes).
std::string quoted(std::string_view utf8);

}  // namespace rk::text::json
