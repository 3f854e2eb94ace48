// Test support: a manifest processor whose answers a test sets, and a loop
// clock that only records (and may throw to end an endless loop).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/daemon/loop_clock.h"
#include "app/manifest/rk_xml_processor_if.h"

namespace rk::app::test {

// What one pass's processor answers.
struct ProcessorScript {
    bool parse_ok = true;
    std::wstring parse_detail = L"xmlparsingsuccess";
    std::wstring polling = L"1440";
    bool heart_beat = false;
    bool enabled = true;
    bool retry = true;
    bool precondition_ok = true;
    std::wstring precondition_detail = L"preconditionsuccess";
    bool install_ok = true;
    std::wstring install_detail = L"executesuccesswithexitcode:0";
    // Called at the start of the operation of that name (may throw).
    std::function<void(const std::wstring& operation)> on_call;
};

// What the processors of a test saw.
struct ProcessorRecord {
    std::vector<std::wstring> calls;
    std::vector<std::wstring> contents;
    std::vector<std::thread::id> threads;
};

class FakeProcessor final : public IRkXMLProcessor {
public:
    FakeProcessor(ProcessorScript script, std::shared_ptr<ProcessorRecord> record)
        : script_(std::move(script)), record_(std::move(record)) {}

    void SetXMLContent(const std::wstring& content) override {
        Call(L"SetXMLContent");
        record_->contents.push_back(content);
    }
    bool ParseXMLContent(std::wstring& detail) override {
        Call(L"ParseXMLContent");
        detail = script_.parse_detail;
        return script_.parse_ok;
    }
    std::wstring GetPollingTimeInMins() const override {
        Call(L"GetPollingTimeInMins");
        return script_.polling;
    }
    bool IsHeartBeatEnabled() const override { return script_.heart_beat; }
    bool IsUpdaterEnabled() const override { return script_.enabled; }
    bool IsRetryEnabled() const override { return script_.retry; }
    bool IsPreConditionSuccess(std::wstring& detail) override {
        Call(L"IsPreConditionSuccess");
        detail = script_.precondition_detail;
        return script_.precondition_ok;
    }
    bool DownloadAndExecuteInstaller(std::wstring& detail) override {
        Call(L"DownloadAndExecuteInstaller");
        detail = script_.install_detail;
        return script_.install_ok;
    }
    bool DeleteIfNeeded() override {
        Call(L"DeleteIfNeeded");
        return false;
    }

private:
    void Call(const wchar_t* name) const {
        record_->calls.emplace_back(name);
        record_->threads.push_back(std::this_thread::get_id());
        if (script_.on_call) {
            script_.on_call(name);
        }
    }

    ProcessorScript script_;
    std::shared_ptr<ProcessorRecord> record_;
};

// Records sleeps; `on_sleep` may throw to leave Run().
class FakeLoopClock final : public LoopClock {
public:
    void SleepSeconds(std::int64_t seconds) override {
        sleeps.push_back(seconds);
        now += seconds;
        if (on_sleep) {
            on_sleep(seconds);
        }
    }
    std::vector<std::int64_t> sleeps;
    std::int64_t now = 0;
    std::function<void(std::int64_t)> on_sleep;
};

}  // namespace rk::app::test
