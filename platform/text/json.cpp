#include "platform/text/json.h"

#include "platform/text/utf.h"

namespace rk::text::json {

bool parse(std::string_view text, rapidjson::Document& doc) {
    // The reader stops at a NUL; whatever followed it would go unseen.
    if (text.find('\0') != std::string_view::npos) {
        return false;
    }
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
    doc.Parse<kFlags>(text.data(), text.size());
    return !doc.HasParseError();
}

const rapidjson::Value* member(const rapidjson::Value& value, const char* name) {
    if (!value.IsObject()) {
        return nullptr;
    }
    const auto it = value.FindMember(name);
    return it == value.MemberEnd() ? nullptr : &it->value;
}

std::optional<std::wstring> string_member(const rapidjson::Value& value, const char* name) {
    const auto* m = member(value, name);
    if (m == nullptr || !m->IsString()) {
        return std::nullopt;
    }
    return utf8_to_wide(std::string_view(m->GetString(), m->GetStringLength()));
}

// Callers here name it json::quoted: with a std::string argument, lookup
// would also find std::quoted.
std::string quoted(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    out += "\\u00";
                    out += kHex[u >> 4];
                    out += kHex[u & 0xF];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

void ObjectWriter::key(std::string_view name) {
    if (text_.size() > 1) {
        text_ += ',';
    }
    text_ += json::quoted(name);
    text_ += ':';
}

ObjectWriter& ObjectWriter::add(std::string_view name, std::wstring_view value) {
    key(name);
    text_ += json::quoted(wide_to_utf8(value));
    return *this;
}

ObjectWriter& ObjectWriter::add(std::string_view name, std::uint64_t value) {
    key(name);
    text_ += std::to_string(value);
    return *this;
}

ObjectWriter& ObjectWriter::add(std::string_view name, std::int64_t value) {
    key(name);
    text_ += std::to_string(value);
    return *this;
}

ObjectWriter& ObjectWriter::add(std::string_view name, const std::vector<std::wstring>& values) {
    key(name);
    text_ += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            text_ += ',';
        }
        text_ += json::quoted(wide_to_utf8(values[i]));
    }
    text_ += ']';
    return *this;
}

}  // namespace rk::text::json
