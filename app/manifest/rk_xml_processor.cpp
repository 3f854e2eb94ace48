#include "app/manifest/rk_xml_processor.h"

#include <string>
#include <string_view>

#include "app/manifest/manifest_tree.h"
#include "app/manifest/xml_parser.h"
#include "platform/logging/process_logger.h"

using namespace rk::app;

namespace {

constexpr wchar_t kFile[] = L"RkXMLProcessor.cpp";
constexpr wchar_t kParseFunction[] = L"CRkXMLProcessor::ParseXMLContent";

bool is_true(const std::wstring& text) { return text == manifest::kTrue; }

}  // namespace

CRkXMLProcessor::CRkXMLProcessor(std::shared_ptr<const UpdaterEnvironment> env)
    : checker_(std::make_shared<CRkUpdateChecker>(env)), executor_(std::make_shared<CRkUpdateExecutor>(env)) {}

CRkXMLProcessor::CRkXMLProcessor(std::shared_ptr<IRkUpdateChecker> checker, std::shared_ptr<CRkUpdateExecutor> executor)
    : checker_(std::move(checker)), executor_(std::move(executor)) {}

void CRkXMLProcessor::SetXMLContent(const std::wstring& content) { content_ = content; }

bool CRkXMLProcessor::ParseXMLContent(std::wstring& detail) {
    if (content_.empty()) {
        detail = word::kEmptyResponseContent;
        return false;
    }
    try {
        // The text's single-byte form, widened again for rapidxml, in one pass.
        NXMLParser::XMLParser parser;
        if (!parser.ParseSingleByteForm(content_)) {
            detail = word::kXmlParsingFailed;
            return false;
        }
        ManifestContent content;
        try {
            read_manifest(*parser.Document(), content);
        } catch (const ManifestShapeError& e) {
            if (IsLogLevelEnabled(1)) {
                LogMessage(1, kFile, kParseFunction, __LINE__, logtext::kManifestElementMissing, e.missing());
            }
            detail = word::kXmlParsingFailed;
            return false;
        }
        pollingTime_ = content.polling_minutes;
        const auto copy_flag = [&](std::wstring_view key, std::wstring& field) {
            if (const auto it = content.prereq.find(key); it != content.prereq.end()) {
                field.assign(it->second);
            }
        };
        copy_flag(prereq::kHeartBeat, heartBeat_);
        copy_flag(prereq::kIsEnabled, enabled_);
        copy_flag(prereq::kRetry, retry_);
        if (checker_) {
            checker_->SetPrereqVars(content.prereq);
            checker_->SetRegInfoVars(content.reg_info);
            checker_->SetCompareVals(content.compare_vals);
        }
        if (executor_) {
            executor_->SetUpdateCommands(content.update_commands);
        }
        detail = std::wstring_view(word::kXmlParsingSuccess);  // measured at compile time
        return true;
    } catch (...) {
        detail = word::kXmlParsingException;
        if (IsLogLevelEnabled(1)) {
            LogMessage(1, kFile, kParseFunction, __LINE__, logtext::kCaughtAllException);
        }
    }
    return false;
}

std::wstring CRkXMLProcessor::GetPollingTimeInMins() const { return pollingTime_; }
bool CRkXMLProcessor::IsHeartBeatEnabled() const { return is_true(heartBeat_); }
bool CRkXMLProcessor::IsUpdaterEnabled() const { return is_true(enabled_); }
bool CRkXMLProcessor::IsRetryEnabled() const { return is_true(retry_); }

bool CRkXMLProcessor::IsPreConditionSuccess(std::wstring& detail) {
    if (!checker_) {
        return false;
    }
    detail.clear();
    const bool ok = checker_->IsPreConditionSuccess(detail);
    if (!ok && IsLogLevelEnabled(1)) {
        LogMessage(1, kFile, L"CRkXMLProcessor::IsPreConditionSuccess", __LINE__, logtext::kPreconditionFailed);
    }
    return ok;
}

bool CRkXMLProcessor::DownloadAndExecuteInstaller(std::wstring& detail) {
    detail.clear();
    if (!checker_ || !executor_) {
        detail = word::kMemAllocFailedNullptr;
        return false;
    }
    executor_->SetAffiliateId(checker_->GetAffiliateId());
    return executor_->DownloadAndExecuteInstaller(detail);
}

bool CRkXMLProcessor::DeleteIfNeeded() {
    if (!checker_ || !executor_) {
        return false;
    }
    return executor_->DeleteIfNeeded();
}

std::shared_ptr<IRkXMLProcessor> MakeRkXMLProcessor(std::shared_ptr<const UpdaterEnvironment> env) {
    return std::make_shared<CRkXMLProcessor>(std::move(env));
}

std::shared_ptr<IRkXMLProcessor> MakeRkXMLProcessor() {
    return MakeRkXMLProcessor(std::make_shared<const UpdaterEnvironment>(system_updater_environment()));
}
