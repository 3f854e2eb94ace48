// Test helpers of the engine: a logger that records lines, an event sender
// that records calls, test handlers and document encodings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/utf.h"
#include "xml_updater/event_sender_if.h"
#include "xml_updater/factory_support.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::test {

struct LogLine {
    unsigned level;
    std::wstring text;
};

class RecordingLogger final : public IXmlUpdaterLogger {
public:
    void Log(unsigned level, const wchar_t*, int, const wchar_t* message) override {
        lines.push_back({level, message});
    }
    bool Contains(const std::wstring& text) const {
        for (const auto& line : lines) {
            if (line.text == text) {
                return true;
            }
        }
        return false;
    }
    std::wstring Dump() const {
        std::wstring all;
        for (const auto& line : lines) {
            all += std::to_wstring(line.level) + L": " + line.text + L"\n";
        }
        return all;
    }
    std::vector<LogLine> lines;
};

struct SentEvent {
    std::vector<std::wstring> fields;  // "(null)" for absent values
};

class FakeSender final : public NTelemetry::NAdHoc::IEventSender {
public:
    bool Initialize() override { return initialize_result; }
    bool SendEvent(const wchar_t* c, const wchar_t* a, const wchar_t* l, const wchar_t* r1, const wchar_t* r2,
                   const wchar_t* r3, const wchar_t* r4, const wchar_t* r5) override {
        SentEvent event;
        for (const wchar_t* v : {c, a, l, r1, r2, r3, r4, r5}) {
            event.fields.emplace_back(v != nullptr ? v : L"(null)");
        }
        events.push_back(event);
        return true;
    }
    bool Flush() override { return true; }
    bool Shutdown() override { return true; }
    bool SetCustomDimension(const wchar_t* name, const wchar_t* value) override {
        dimensions.emplace_back(std::wstring(name) + L"=" + value);
        return dimension_result;
    }
    bool initialize_result = true;
    bool dimension_result = true;
    std::vector<SentEvent> events;
    std::vector<std::wstring> dimensions;
};

inline const std::uint8_t* bytes(const std::string& text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

inline std::string utf16le_with_bom(const std::string& utf8) {
    const auto units = rk::text::wide_to_utf16le(rk::text::utf8_to_wide(utf8));
    std::string out = "\xFF\xFE";
    out.append(units.begin(), units.end());
    return out;
}

}  // namespace XMLUpdater::v2::test
