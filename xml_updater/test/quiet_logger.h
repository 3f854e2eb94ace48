// An engine logger that drops every message, for the fuzz targets: without
// an installed logger each error would be appended to log.txt. Messages are
// still formatted before they reach it.
#pragma once

#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {

class QuietLogger final : public IXmlUpdaterLogger {
public:
    void Log(unsigned, const wchar_t*, int, const wchar_t*) override {}
};

}  // namespace XMLUpdater::v2
