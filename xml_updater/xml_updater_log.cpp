#include "xml_updater/xml_updater_log.h"

#include <atomic>
#include <string>

namespace XMLUpdater::v2 {
namespace {

std::atomic<IXmlUpdaterLogger*>& installed() {
    static std::atomic<IXmlUpdaterLogger*> logger{nullptr};
    return logger;
}

}  // namespace

void SetXmlUpdaterLogger(IXmlUpdaterLogger* logger) { installed().store(logger); }

IXmlUpdaterLogger* GetXmlUpdaterLogger() { return installed().load(); }

void XmlUpdaterLogV(unsigned level, const wchar_t* file, const wchar_t* function, int line, const wchar_t* format,
                    rk::text::FormatArgs args) {
    (void)function;  // the installed logger takes no function name
    IXmlUpdaterLogger* logger = installed().load();
    if (logger == nullptr || format == nullptr) {
        return;
    }
    try {
        std::wstring text = rk::text::vformat(format, args);
        if (text.size() >= kXmlLogMessageChars) {
            logger->Log(kXmlLogError, file, line, kXmlLogFormatFailed);
            text.resize(kXmlLogMessageChars - 1);
        }
        logger->Log(level, file, line, text.c_str());
    } catch (...) {  // NOLINT(bugprone-empty-catch): log failures are swallowed
    }
}

}  // namespace XMLUpdater::v2
