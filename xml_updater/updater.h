// XMLUpdater::v2::CUpdater: the facade of the XML update engine. It fetches
// (or takes) an update document, checks its signature when asked, parses it
// and walks its updates: preconditions through the precondition manager,
// commands through the command manager, the exit commands itself.
#pragma once

#include <rapidxml/rapidxml.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xml_updater/attribute_map.h"
#include "xml_updater/command_if.h"
#include "xml_updater/event_sender_if.h"
#include "xml_updater/precondition_if.h"
#include "xml_updater/progress_manager.h"
#include "xml_updater/proxy_settings.h"
#include "xml_updater/substitution_if.h"
#include "xml_updater/web_cache/retry_clock.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {

class CSubstitutionManager;
class CPreconditionManager;
class CCommandManager;

// Element and attribute names of update documents.
inline constexpr wchar_t kElemUpdateArray[] = L"UPDATEARRAY";
inline constexpr wchar_t kElemUpdate[] = L"UPDATE";
inline constexpr wchar_t kElemPreconditionArray[] = L"PRECONDITIONARRAY";
inline constexpr wchar_t kElemPrecondition[] = L"PRECONDITION";
inline constexpr wchar_t kElemUpdateCommands[] = L"UPDATECOMMANDS";
inline constexpr wchar_t kCmdExit[] = L"EXIT";
inline constexpr wchar_t kCmdExitXml[] = L"EXIT_XML";
inline constexpr wchar_t kCmdExitUpdate[] = L"EXIT_UPDATE";
inline constexpr wchar_t kCmdRedirect[] = L"REDIRECT";
inline constexpr wchar_t kCmdDownload[] = L"DOWNLOAD";
inline constexpr wchar_t kCmdDownloadEx[] = L"DOWNLOADEX";
inline constexpr wchar_t kAttrPreconditionType[] = L"Type";
inline constexpr wchar_t kAttrReturnCode[] = L"ReturnCode";
inline constexpr wchar_t kAttrLocation[] = L"Location";

// Engine variables the core reads or writes.
inline constexpr wchar_t kVarExitCode[] = L"?";
inline constexpr wchar_t kVarStoreXmlOnDisk[] = L"STORE_XML_ON_DISK";
inline constexpr wchar_t kStoreXmlOnDiskYes[] = L"TRUE";
// Folder beside the executable that receives the STORE_XML_ON_DISK copies.
inline constexpr wchar_t kStoreFolder[] = L"Download";

// ExecuteUpdate results.
inline constexpr int kUpdateOk = 0;
inline constexpr int kUpdateProcessFailed = 1;
inline constexpr int kUpdateNotInitialized = 2;
inline constexpr int kUpdateSignatureFailed = 3;
inline constexpr int kUpdateParseFailed = 4;

class CUpdater {
public:
    using EventSender = std::shared_ptr<NTelemetry::NAdHoc::IEventSender>;
    // One download attempt of a document: NHttp::NDownloadFile::From unless
    // replaced (tests, the fuzz target's network-free engine).
    using DocumentFetcher =
        std::function<std::vector<std::uint8_t>(const std::wstring& url, const ProxySettings* proxy, bool ignore_proxy)>;

    CUpdater();
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;
    virtual ~CUpdater();

    virtual bool Initialize(EventSender sender, bool verify_signature, std::shared_ptr<IXmlUpdaterLogger> logger,
                            std::shared_ptr<progress_manager> progress, std::shared_ptr<void> extra);
    // True when ExecuteUpdate returned 0. After an EXIT_UPDATE (in this or an
    // earlier document) `exit_code` is the recorded ReturnCode.
    virtual bool Update(const std::uint8_t* buffer, std::uint64_t length, int& exit_code);
    virtual bool Update(const std::wstring& url, int& exit_code);
    virtual bool SetVariable(const std::wstring& name, const std::wstring& value);
    virtual bool GetVariable(const std::wstring& name, std::wstring& value);
    // Null: auto-detect, and the settings are not handed to document
    // downloads. Returns false only when a copy fails.
    virtual bool SetProxySettings(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config);
    virtual bool fill_proxy_data_for_specific_url(const std::wstring& url, WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& out);

    // kUpdate* status.
    int ExecuteUpdate(const std::uint8_t* buffer, std::size_t length, int& exit_code);
    // The same on a document it takes over: rapidxml parses its bytes in
    // place, so a large document is not held twice while it is parsed.
    int ExecuteUpdate(std::vector<std::uint8_t>&& document, int& exit_code);
    bool Process(rapidxml::xml_document<char>& document, int& exit_code);
    bool Redirect(AttributeMap& attributes, CSubstitutionManager* substitutions);

    // For the analytics wrapper and tests; false before Initialize.
    bool RegisterSubstitution(const std::wstring& name, SubstitutionCreator creator);
    bool RegisterCommand(const std::wstring& name, CommandCreator creator);
    bool RegisterCommand(const std::wstring& name, std::unique_ptr<ICommand> handler);
    bool RegisterPrecondition(const std::wstring& name, std::unique_ptr<IPrecondition> handler);

    void SetDocumentFetcher(DocumentFetcher fetcher);
    // The waits between DOWNLOADEX fetch tries: the steady clock unless
    // replaced (tests run the retry schedule on a fake clock). Null restores
    // the steady clock.
    void SetRetryClock(std::shared_ptr<web_cache::RetryClock> clock);
    web_cache::RetryClock& retry_clock() const { return *retry_clock_; }
    const progress_manager_wrapper& progress() const { return progress_; }
    const ProxySettings& proxy_settings() const { return proxy_; }
    bool exit_update() const { return exit_update_; }

private:
    // ExecuteUpdate on `buffer`, or on `owned` (whose bytes `buffer` points
    // into) when it is not null.
    int Execute(const std::uint8_t* buffer, std::size_t length, std::vector<std::uint8_t>* owned, int& exit_code);
    bool ExitSteps(std::wstring_view command, AttributeMap& attributes, int& exit_code);
    bool ProcessUpdate(rapidxml::xml_node<char>& update, int& exit_code, bool& stop);
    void StoreOnDisk(const std::wstring& url, const std::vector<std::uint8_t>& document);

    std::shared_ptr<CSubstitutionManager> substitutions_;
    std::unique_ptr<CPreconditionManager> preconditions_;
    std::unique_ptr<CCommandManager> commands_;
    progress_manager_wrapper progress_;
    ProxySettings proxy_;
    bool exit_update_ = false;
    int exit_code_ = 0;
    bool verify_signature_ = false;
    DocumentFetcher fetcher_;
    std::shared_ptr<web_cache::RetryClock> retry_clock_;
};

}  // namespace XMLUpdater::v2
