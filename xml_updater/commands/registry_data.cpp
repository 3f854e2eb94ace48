#include "xml_updater/commands/registry_data.h"

#include "platform/system/registry/registry.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kFile[] = L"registry_data.cpp";
constexpr wchar_t kFunction[] = L"CRegistryCommand::SetRegistryKey";

int hex_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

template <typename T>
void append_little_endian(std::vector<std::uint8_t>& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

bool BuildRegistryData(const std::wstring& type, const std::wstring& value, RegistryData& data) {
    namespace reg = rk::sys::reg;
    data.bytes.clear();
    if (type == kRegTypeString) {
        data.type = reg::REG_SZ;
        data.bytes = rk::text::wide_to_utf16le(value);
        data.bytes.push_back(0);
        data.bytes.push_back(0);
        return true;
    }
    if (type == kRegTypeNum || type == kRegTypeDword) {
        const auto number = rk::text::parse_uint32_exact(value);
        if (!number) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to convert %s to an integer type", value);
            return false;
        }
        data.type = reg::REG_DWORD;
        append_little_endian(data.bytes, *number);
        return true;
    }
    if (type == kRegTypeQword) {
        const auto number = rk::text::parse_uint64_exact(value);
        if (!number) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to convert %s to an integer type", value);
            return false;
        }
        data.type = reg::REG_QWORD;
        append_little_endian(data.bytes, *number);
        return true;
    }
    if (type == kRegTypeBinary) {
        data.type = reg::REG_BINARY;
        data.bytes.assign((value.size() + 1) / 2, 0);
        for (std::size_t i = 0; i < value.size(); ++i) {
            const int digit = hex_value(value[i]);
            if (digit < 0) {
                XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to convert %s to hex", value);
                data.bytes.clear();
                return false;
            }
            data.bytes[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? digit << 4 : digit);
        }
        return true;
    }
    XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unknown registry key type: %s", type);
    return false;
}

}  // namespace XMLUpdater::v2
