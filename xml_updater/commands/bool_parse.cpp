#include "xml_updater/commands/bool_parse.h"

#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {

bool TryParseBool(const std::wstring& text, bool& value) {
    if (text == kTextTrue) {
        value = true;
        return true;
    }
    if (text == kTextFalse) {
        value = false;
        return true;
    }
    XmlUpdaterLog(kXmlLogError, L"bool_parse.cpp", L"TryParseBool", __LINE__, L"Unable to convert string %s to bool",
                  text);
    return false;
}

}  // namespace XMLUpdater::v2
