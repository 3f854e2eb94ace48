#include "xml_updater/substitutions/ini_substitution_impl.h"

#include <map>

#include "platform/config/obfuscated_ini_reader.h"
#include "platform/text/strings.h"
#include "xml_updater/substitutions/substitution_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"ini_substitution_impl.cpp";
constexpr wchar_t kFunction[] = L"CIniSubstutitionImpl::Read";
// CObfuscatedIniReader's constructor flag: 1 refuses plain values, 0 takes them.
constexpr int kReaderScrambled = 1;
constexpr int kReaderPlain = 0;
}  // namespace

std::wstring CIniSubstutitionImpl::Read(const std::wstring& arguments) const {
    const auto bar = arguments.find(kHiveSeparator);
    if (bar == std::wstring::npos) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgNoIniPath);
        return kUnknownValue;
    }
    const auto at = arguments.find(kValueSeparator, bar + 1);
    if (at == std::wstring::npos) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgNoIniSection);
        return kUnknownValue;
    }
    const std::wstring path = arguments.substr(0, bar);
    const std::wstring section = arguments.substr(bar + 1, at - bar - 1);
    const std::wstring key = arguments.substr(at + 1);

    DiraDoro::CObfuscatedIniReader reader(scrambled_ ? kReaderScrambled : kReaderPlain);
    bool found = false;
    std::wstring value;
    std::map<std::wstring, std::wstring> entries;
    if (!reader.Load(path)) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, kMsgIniLoadFailed, path);
    } else if (!reader.GetSection(section, entries)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgIniNoSection, section);
    } else {
        for (const auto& [name, text] : entries) {
            if (rk::text::iequals(name, key)) {
                value = text;
                found = true;
                break;
            }
        }
        if (!found) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgIniNoKey, key);
        }
    }
    if (!found) {
        XmlUpdaterLog(kXmlLogInformation, kFile, kFunction, __LINE__, kMsgIniReadFailed, key);
        return kUnknownValue;
    }
    return value;
}

}  // namespace XMLUpdater::v2
