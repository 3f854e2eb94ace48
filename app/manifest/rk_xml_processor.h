// CRkXMLProcessor: parses one update manifest, keeps the flags the polling
// loop asks for, and hands the lists to its precondition checker and
// installer runner. One processor serves one processing pass.
#pragma once

#include <memory>
#include <string>

#include "app/manifest/manifest_words.h"
#include "app/manifest/rk_update_checker.h"
#include "app/manifest/rk_update_executor.h"
#include "app/manifest/rk_xml_processor_if.h"
#include "app/manifest/updater_environment.h"

class CRkXMLProcessor : public IRkXMLProcessor {
public:
    // Creates the checker and the executor over `env`.
    explicit CRkXMLProcessor(std::shared_ptr<const rk::app::UpdaterEnvironment> env);
    // For tests: any checker and executor, either may be null.
    CRkXMLProcessor(std::shared_ptr<IRkUpdateChecker> checker, std::shared_ptr<CRkUpdateExecutor> executor);

    void SetXMLContent(const std::wstring& content) override;
    bool ParseXMLContent(std::wstring& detail) override;
    std::wstring GetPollingTimeInMins() const override;
    bool IsHeartBeatEnabled() const override;
    bool IsUpdaterEnabled() const override;
    bool IsRetryEnabled() const override;
    bool IsPreConditionSuccess(std::wstring& detail) override;
    bool DownloadAndExecuteInstaller(std::wstring& detail) override;
    bool DeleteIfNeeded() override;

    const std::shared_ptr<IRkUpdateChecker>& Checker() const { return checker_; }
    const std::shared_ptr<CRkUpdateExecutor>& Executor() const { return executor_; }

private:
    std::wstring content_;
    std::wstring pollingTime_{rk::app::manifest::kDefaultPollingMinutes};
    std::wstring retry_{rk::app::manifest::kTrue};
    std::wstring heartBeat_{rk::app::manifest::kFalse};
    std::wstring enabled_{rk::app::manifest::kFalse};
    std::shared_ptr<IRkUpdateChecker> checker_;
    std::shared_ptr<CRkUpdateExecutor> executor_;
};

// The processor of the running system (system_updater_environment()), or
// over the given environment.
std::shared_ptr<IRkXMLProcessor> MakeRkXMLProcessor();
std::shared_ptr<IRkXMLProcessor> MakeRkXMLProcessor(std::shared_ptr<const rk::app::UpdaterEnvironment> env);
