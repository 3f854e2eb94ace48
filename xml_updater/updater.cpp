#include "xml_updater/updater.h"

#include <rapidxml/rapidxml_print.hpp>

#include <cstddef>
#include <exception>
#include <iterator>
#include <utility>

#include "platform/system/file.h"
#include "platform/system/files.h"
#include "platform/system/folder.h"
#include "platform/system/http/auto_proxy.h"
#include "platform/system/http/proxy_config.h"
#include "platform/system/http/user_proxy.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"
#include "platform/text/numeric.h"
#include "platform/text/utf.h"
#include "xml_updater/command_manager.h"
#include "xml_updater/commands/download_command.h"
#include "xml_updater/commands/download_ex_command.h"
#include "xml_updater/download_file.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/hound.h"
#include "xml_updater/precondition_manager.h"
#include "xml_updater/redirect_handler.h"
#include "xml_updater/signature_check.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/xml_parser.h"

namespace XMLUpdater::v2 {
namespace {

using Node = rapidxml::xml_node<char>;
constexpr wchar_t kFile[] = L"updater.cpp";

// An element name of updater.h as the UTF-8 bytes the tree holds.
template <std::size_t N>
struct TreeName {
    char text[N] = {};
    constexpr explicit TreeName(const wchar_t (&name)[N]) {
        for (std::size_t i = 0; i < N; ++i) {
            text[i] = static_cast<char>(name[i]);
        }
    }
};
constexpr TreeName kUpdateArrayName(kElemUpdateArray);
constexpr TreeName kUpdateName(kElemUpdate);
constexpr TreeName kPreconditionArrayName(kElemPreconditionArray);
constexpr TreeName kPreconditionName(kElemPrecondition);
constexpr TreeName kUpdateCommandsName(kElemUpdateCommands);

// The fifth Initialize argument: kept alive for the rest of the process.
std::shared_ptr<void>& extra_holder() {
    static std::shared_ptr<void> extra;
    return extra;
}

// The element's attributes (a later duplicate overwrites an earlier one).
void build_attributes(const Node& node, AttributeMap& map) {
    for (const auto* attr = node.first_attribute(); attr != nullptr; attr = attr->next_attribute()) {
        SetAttributeUtf8(map, std::string_view(attr->name(), attr->name_size()),
                         std::string_view(attr->value(), attr->value_size()));
    }
}

std::string_view element_text(const Node& node) {
    const Node* child = node.first_node();
    return child != nullptr ? std::string_view(child->value(), child->value_size()) : std::string_view();
}

// The element as XML text, for the hook only (serialising costs).
std::wstring node_text(const Node& node) {
    if (!Hound::IsActive()) {
        return {};
    }
    std::string text;
    rapidxml::print(std::back_inserter(text), node, rapidxml::print_no_indenting);
    return rk::text::utf8_to_wide(text);
}

// A section of the hook's report: start on construction, end on destruction.
class Section {
public:
    Section(const wchar_t* function, std::wstring_view name, std::wstring_view text = {}) : function_(function) {
        Hound::Start(kFile, function_, name, text);
    }
    Section(const Section&) = delete;
    Section& operator=(const Section&) = delete;
    ~Section() { Hound::End(kFile, function_); }

private:
    const wchar_t* function_;
};

bool is_exit_command(std::wstring_view name) {
    return name == kCmdExit || name == kCmdExitXml || name == kCmdExitUpdate;
}

// The last path segment of a URL as a file name; empty when it is not a
// plain name (no segment, ".", "..", or a Windows separator that would lead
// out of the folder).
std::wstring store_file_name(const std::wstring& url) {
    const auto slash = url.rfind(L'/');
    std::wstring name = slash == std::wstring::npos ? url : url.substr(slash + 1);
    if (name.empty() || name == L"." || name == L".." || name.find(L'\\') != std::wstring::npos) {
        return {};
    }
    return name;
}

}  // namespace

CUpdater::CUpdater() : fetcher_(&NHttp::NDownloadFile::From), retry_clock_(web_cache::steady_retry_clock()) {}

CUpdater::~CUpdater() = default;

void CUpdater::SetRetryClock(std::shared_ptr<web_cache::RetryClock> clock) {
    retry_clock_ = clock ? std::move(clock) : web_cache::steady_retry_clock();
}

void CUpdater::SetDocumentFetcher(DocumentFetcher fetcher) {
    fetcher_ = fetcher ? std::move(fetcher) : DocumentFetcher(&NHttp::NDownloadFile::From);
}

bool CUpdater::Initialize(EventSender sender, bool verify_signature, std::shared_ptr<IXmlUpdaterLogger> logger,
                          std::shared_ptr<progress_manager> progress, std::shared_ptr<void> extra) {
    constexpr wchar_t kFunction[] = L"CUpdater::Initialize";
    if (logger) {
        SetXmlUpdaterLogger(std::move(logger));
    }
    if (!sender || !sender->Initialize()) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to initialize event reporter");
        return false;
    }
    if (extra) {
        extra_holder() = std::move(extra);
    }
    substitutions_ = std::make_shared<CSubstitutionManager>();
    preconditions_ = std::make_unique<CPreconditionManager>(substitutions_);
    commands_ = std::make_unique<CCommandManager>(sender, substitutions_);
    progress_.Initialize(std::move(progress));
    verify_signature_ = verify_signature;
    if (!commands_->RegisterCommand(kCmdRedirect, std::make_unique<CRedirectHandler>(*this))) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"failed to register redirect command");
        return false;
    }
    if (!commands_->RegisterCommand(kCmdDownload, std::make_unique<CDownloadCommand>(*this))) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"failed to register download command");
        return false;
    }
    if (!commands_->RegisterCommand(kCmdDownloadEx, std::make_unique<CDownloadExCommand>(*this))) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"failed to register downloadex command");
        return false;
    }
    return true;
}

bool CUpdater::RegisterSubstitution(const std::wstring& name, SubstitutionCreator creator) {
    return substitutions_ && substitutions_->RegisterSubstitution(name, creator);
}

bool CUpdater::RegisterCommand(const std::wstring& name, CommandCreator creator) {
    return commands_ && commands_->RegisterCommand(name, creator);
}

bool CUpdater::RegisterCommand(const std::wstring& name, std::unique_ptr<ICommand> handler) {
    return commands_ && commands_->RegisterCommand(name, std::move(handler));
}

bool CUpdater::RegisterPrecondition(const std::wstring& name, std::unique_ptr<IPrecondition> handler) {
    return preconditions_ && preconditions_->RegisterPrecondition(name, std::move(handler));
}

bool CUpdater::SetVariable(const std::wstring& name, const std::wstring& value) {
    if (substitutions_) {
        substitutions_->SetVariable(name, value);
    }
    return true;
}

bool CUpdater::GetVariable(const std::wstring& name, std::wstring& value) {
    return substitutions_ && substitutions_->GetVariable(name, value);
}

bool CUpdater::Update(const std::uint8_t* buffer, std::uint64_t length, int& exit_code) {
    if (length > SIZE_MAX) {
        return false;
    }
    const int status = ExecuteUpdate(buffer, static_cast<std::size_t>(length), exit_code);
    if (exit_update_) {
        exit_code = exit_code_;
    }
    return status == kUpdateOk;
}

bool CUpdater::Update(const std::wstring& url, int& exit_code) {
    constexpr wchar_t kFunction[] = L"CUpdater::Update";
    exit_code = 0;
    std::vector<std::uint8_t> document;
    bool intercepted = false;
    try {
        if (Hound::InterestingNavigation(kFile, kFunction, url)) {
            const std::string text = Hound::GetXml(kFile, kFunction, url);
            document.assign(text.begin(), text.end());
            intercepted = true;
        }
    } catch (const std::exception& e) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, L"Error during update interception: %S", e.what());
    } catch (...) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, L"Unknown error during update interception");
    }
    if (!intercepted) {
        const ProxySettings* proxy = proxy_.use_settings ? &proxy_ : nullptr;
        document = fetcher_(url, proxy, false);
        if (document.empty()) {
            document = fetcher_(url, proxy, true);
        }
    }
    if (document.empty()) {
        return false;
    }
    std::wstring store;
    if (GetVariable(kVarStoreXmlOnDisk, store) && store == kStoreXmlOnDiskYes) {
        StoreOnDisk(url, document);
    }
    const int status = ExecuteUpdate(std::move(document), exit_code);
    if (status == kUpdateSignatureFailed) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Signature check failed for %s", url);
        return false;
    }
    if (status != kUpdateOk) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Xml Update failed, error: %d", status);
        return false;
    }
    return true;
}

void CUpdater::StoreOnDisk(const std::wstring& url, const std::vector<std::uint8_t>& document) {
    constexpr wchar_t kFunction[] = L"CUpdater::Update";
    const std::wstring image = rk::sys::own_image_path();
    const auto slash = image.find_last_of(L"\\/");
    const std::wstring folder_of_image = slash == std::wstring::npos ? std::wstring() : image.substr(0, slash + 1);
    const std::wstring directory = folder_of_image.empty() ? std::wstring() : folder_of_image + kStoreFolder;
    const std::wstring name = store_file_name(url);
    bool stored = false;
    rk::sys::Folder folder;
    if (!directory.empty() && !name.empty() &&
        rk::sys::prepare_folder_at(directory, rk::sys::FolderCreation::kAll, folder) == 0) {
        rk::sys::FileOpenOptions options;
        options.access = rk::sys::kGenericWrite;
        options.disposition = rk::sys::kCreateAlways;
        rk::sys::File out;
        stored = folder.open_file(name, options, out) == 0 && out.write_all(document.data(), document.size()) == 0;
    }
    if (!stored) {
        XmlUpdaterLog(kXmlLogWarning, kFile, kFunction, __LINE__, L"Failed to store %s in %s", url, directory);
    }
}

int CUpdater::ExecuteUpdate(const std::uint8_t* buffer, std::size_t length, int& exit_code) {
    return Execute(buffer, length, nullptr, exit_code);
}

int CUpdater::ExecuteUpdate(std::vector<std::uint8_t>&& document, int& exit_code) {
    std::vector<std::uint8_t> owned = std::move(document);
    return Execute(owned.data(), owned.size(), &owned, exit_code);
}

int CUpdater::Execute(const std::uint8_t* buffer, std::size_t length, std::vector<std::uint8_t>* owned,
                      int& exit_code) {
    constexpr wchar_t kFunction[] = L"CUpdater::ExecuteUpdate";
    if (!preconditions_ || !commands_) {
        return kUpdateNotInitialized;
    }
    if (!Hound::InterestingSignatureCheck(kFile, kFunction) && verify_signature_) {
        std::size_t signed_length = 0;
        if (!NSignatureCheck::ForceVerifySignature(buffer, length, signed_length)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Signature check failed for xml string.");
            return kUpdateSignatureFailed;
        }
        length = signed_length;
    }
    const Section section(kFunction, Hound::kSectionStartXml);
    XMLParser parser;
    if (owned != nullptr) {
        owned->resize(length);
    }
    // A buffer taken over is parsed in place; a borrowed one is copied.
    if (!(owned != nullptr ? parser.ParseBuffer(std::move(*owned)) : parser.ParseBuffer(buffer, length))) {
        return kUpdateParseFailed;
    }
    return Process(parser.Document(), exit_code) ? kUpdateOk : kUpdateProcessFailed;
}

bool CUpdater::Process(rapidxml::xml_document<char>& document, int& exit_code) {
    constexpr wchar_t kFunction[] = L"CUpdater::Process";
    Node* array = document.first_node(kUpdateArrayName.text);
    if (array == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Malformed XML, no UPDATEARRAY element");
        return false;
    }
    const Section section(kFunction, Hound::kSectionUpdateArray);
    for (Node* update = array->first_node(kUpdateName.text); update != nullptr;
         update = update->next_sibling(kUpdateName.text)) {
        bool stop = false;
        const bool result = ProcessUpdate(*update, exit_code, stop);
        if (stop) {
            return result;
        }
    }
    return true;
}

bool CUpdater::ProcessUpdate(Node& update, int& exit_code, bool& stop) {
    constexpr wchar_t kFunction[] = L"CUpdater::Process";
    const Section section(kFunction, Hound::kSectionUpdate, node_text(update));
    if (Node* preconditions = update.first_node(kPreconditionArrayName.text)) {
        const Section array_section(kFunction, Hound::kSectionPreconditionArray);
        for (Node* item = preconditions->first_node(kPreconditionName.text); item != nullptr;
             item = item->next_sibling(kPreconditionName.text)) {
            const Section item_section(kFunction, Hound::kSectionPrecondition, node_text(*item));
            AttributeMap attributes;
            const RecycledAttributes recycled(attributes);
            build_attributes(*item, attributes);
            SetAttributeUtf8(attributes, kAttrValue, element_text(*item));
            const auto type = attributes.find(kAttrPreconditionType);
            if (type == attributes.end()) {
                XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"XML precondition failed - no Type specified");
                stop = true;
                return false;
            }
            if (!preconditions_->IsPreconditionSatisfied(type->second, attributes)) {
                return true;  // this update does not apply
            }
        }
    }
    Node* commands = update.first_node(kUpdateCommandsName.text);
    if (commands == nullptr) {
        return true;
    }
    const Section array_section(kFunction, Hound::kSectionCommandArray);
    std::wstring name;
    for (Node* item = commands->first_node(); item != nullptr; item = item->next_sibling()) {
        if (item->type() != rapidxml::node_element) {
            continue;
        }
        name.clear();
        rk::text::append_utf8_to_wide(name, std::string_view(item->name(), item->name_size()));
        AttributeMap attributes;
        const RecycledAttributes recycled(attributes);
        build_attributes(*item, attributes);
        SetAttributeUtf8(attributes, kAttrTagValue, element_text(*item));
        SetAttribute(attributes, kAttrCmd, name);
        const Section item_section(kFunction, name, node_text(*item));
        if (is_exit_command(name)) {
            stop = true;
            return ExitSteps(name, attributes, exit_code);
        }
        if (!commands_->Execute(name, attributes)) {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"XML command (%s) failed", name);
            stop = true;
            return false;
        }
        if (exit_update_) {
            stop = true;
            return true;
        }
    }
    return true;
}

bool CUpdater::ExitSteps(std::wstring_view command, AttributeMap& attributes, int& exit_code) {
    constexpr wchar_t kFunction[] = L"CUpdater::Process";
    if (command == kCmdExitUpdate) {
        XmlUpdaterLog(kXmlLogInformation, kFile, kFunction, __LINE__, L"Exit update command triggered. Exiting...");
        exit_update_ = true;
    }
    const auto code = attributes.find(kAttrReturnCode);
    if (code == attributes.end()) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Couldn't find the ReturnCode attribute of EXIT command");
        return false;
    }
    if (!substitutions_->Substitute(code->second)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to substitute the return code");
        return false;
    }
    const auto value = rk::text::parse_int64_exact(code->second);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to convert ReturnCode into int");
        return false;
    }
    const int result = static_cast<int>(*value);
    Hound::ExitResult(kFile, kFunction, result);
    exit_code = result;
    if (exit_update_) {
        exit_code_ = result;
    }
    return true;
}

bool CUpdater::Redirect(AttributeMap& attributes, CSubstitutionManager* substitutions) {
    constexpr wchar_t kFunction[] = L"CUpdater::Redirect";
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"invalid substitutor");
        return false;
    }
    const auto location = attributes.find(kAttrLocation);
    if (location == attributes.end()) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Unable to read Location attribute of REDIRECT command");
        return false;
    }
    if (!substitutions->Substitute(location->second)) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to substitute variables for the REDIRECT command");
        return false;
    }
    int nested_exit_code = 0;
    const bool result = Update(location->second, nested_exit_code);
    substitutions->SetVariable(kVarExitCode, std::to_wstring(nested_exit_code));
    return result;
}

bool CUpdater::SetProxySettings(const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config) {
    if (config == nullptr) {
        proxy_.auto_detect = true;
        proxy_.use_settings = false;
        return true;
    }
    if (config->lpszAutoConfigUrl != nullptr) {
        proxy_.auto_config_url = std::wstring(config->lpszAutoConfigUrl);
        proxy_.use_auto_config_url = true;
        proxy_.use_settings = true;
        return true;
    }
    if (config->lpszProxy != nullptr) {
        proxy_.proxy = std::wstring(config->lpszProxy);
        if (config->lpszProxyBypass != nullptr) {
            proxy_.bypass = std::wstring(config->lpszProxyBypass);
        } else {
            proxy_.bypass.reset();
        }
        proxy_.use_settings = true;
    }
    return true;
}

bool CUpdater::fill_proxy_data_for_specific_url(const std::wstring& url, WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& out) {
    constexpr wchar_t kFunction[] = L"CUpdater::fill_proxy_data_for_specific_url";
    GlobalFreeString(out.lpszAutoConfigUrl);
    GlobalFreeString(out.lpszProxy);
    GlobalFreeString(out.lpszProxyBypass);
    out.lpszAutoConfigUrl = out.lpszProxy = out.lpszProxyBypass = nullptr;

    rk::sys::http::EnvironmentReader environment = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    std::string error;
    const auto service = rk::sys::http::RunsAsService(error);
    if (!service) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__,
                      L"Unable to determine if process is running as a service: %hs", error);
    } else if (*service) {
        if (auto user = rk::sys::http::LoggedOnUserEnvironment(error)) {
            environment = std::move(user);
        } else {
            XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"Failed to impersonate logged on user: %hs", error);
        }
    }
    const rk::sys::http::ProxyConfig config = rk::sys::http::proxy_config_from_environment(environment);
    if (!config.proxy.empty()) {
        out.lpszProxy = GlobalAllocString(config.proxy);
        out.lpszProxyBypass = config.bypass.empty() ? nullptr : GlobalAllocString(config.bypass);
        return true;
    }
    if (!config.auto_detect && config.auto_config_url.empty()) {
        return true;
    }
    rk::sys::http::AutoProxyOptions options;
    if (!config.auto_config_url.empty()) {
        options.flags = rk::sys::http::kAutoProxyConfigUrl;
        options.auto_config_url = config.auto_config_url;
    } else {
        options.flags = rk::sys::http::kAutoProxyAutoDetect;
        options.auto_detect_flags = rk::sys::http::kAutoDetectTypeDhcp | rk::sys::http::kAutoDetectTypeDnsA;
    }
    rk::sys::http::AutoProxyContext context;
    context.ca_file = NHttp::TrustAnchors();
    rk::sys::http::ProxyInfo info;
    if (rk::sys::http::get_proxy_for_url(url, options, context, info) != 0) {
        return false;
    }
    if (info.access == rk::sys::http::AccessType::kNamedProxy) {
        out.lpszProxy = GlobalAllocString(info.proxy);
        out.lpszProxyBypass = info.bypass.empty() ? nullptr : GlobalAllocString(info.bypass);
    }
    return true;
}

}  // namespace XMLUpdater::v2
