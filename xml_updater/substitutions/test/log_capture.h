// Test helper: records the engine log while it lives (installed as the
// process-wide engine logger, removed again on destruction).
#pragma once

#include <string>
#include <vector>

#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::test {

class LogCapture final : public IXmlUpdaterLogger {
public:
    struct Line {
        unsigned level;
        std::wstring text;
    };

    LogCapture() { SetXmlUpdaterLogger(static_cast<IXmlUpdaterLogger*>(this)); }
    ~LogCapture() override { SetXmlUpdaterLogger(static_cast<IXmlUpdaterLogger*>(nullptr)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void Log(unsigned level, const wchar_t* /*file*/, int /*line*/, const wchar_t* message) override {
        lines.push_back({level, message});
    }
    bool Has(const std::wstring& text) const { return Level(text) >= 0; }
    // The level of the first line with exactly this text; -1 when none.
    int Level(const std::wstring& text) const {
        for (const auto& line : lines) {
            if (line.text == text) {
                return static_cast<int>(line.level);
            }
        }
        return -1;
    }
    std::wstring Dump() const {
        std::wstring all;
        for (const auto& line : lines) {
            all += std::to_wstring(line.level) + L": " + line.text + L"\n";
        }
        return all;
    }
    void Clear() { lines.clear(); }

    std::vector<Line> lines;
};

}  // namespace XMLUpdater::v2::test
