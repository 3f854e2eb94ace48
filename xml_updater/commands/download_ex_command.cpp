#include "xml_updater/commands/download_ex_command.h"

#include <exception>
#include <stdexcept>
#include <system_error>

#include "platform/errors/error_report.h"
#include "platform/errors/windows_error_category.h"
#include "platform/system/http/url_parts.h"
#include "platform/system/paths.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "xml_updater/commands/command_support.h"
#include "xml_updater/commands/download_signature_policy.h"
#include "xml_updater/commands/downloadex_error.h"
#include "xml_updater/download_progress.h"
#include "xml_updater/file_signature.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/md5_checksum.h"
#include "xml_updater/substitution_manager.h"
#include "xml_updater/updater.h"
#include "xml_updater/web_cache/cached_object.h"
#include "xml_updater/web_cache/http_fetcher.h"
#include "xml_updater/web_cache/http_robo_fetch.h"
#include "xml_updater/web_cache/winhttp_category.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

namespace http = rk::sys::http;
namespace wc = web_cache;
constexpr wchar_t kFile[] = L"download_ex_command.cpp";
constexpr wchar_t kFunction[] = L"CDownloadExCommand::Execute";

[[noreturn]] void fail(DownloadExError error, const std::wstring& what) {
    throw std::system_error(make_error_code(error), rk::text::wide_to_utf8(what));
}

std::wstring required(const AttributeMap& attributes, const wchar_t* name) {
    auto value = attribute(attributes, name);
    if (!value) {
        fail(DownloadExError::kLogicError, rk::text::format(wc::kMsgRequiredParameter, name));
    }
    return std::move(*value);
}

// The cache's Host: the URL's host, with its port when the URL names one
// other than 443 (the fetcher's default).
std::wstring cache_host(const http::UrlParts& parts) {
    std::wstring host = parts.host.find(L':') != std::wstring::npos ? L"[" + parts.host + L"]" : parts.host;
    if (parts.port != http::kDefaultHttpsPort) {
        host += L":" + std::to_wstring(parts.port);
    }
    return host;
}

std::wstring last_segment(const std::wstring& path) {
    const auto slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

int progress_status(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::system_error& e) {
        return e.code() == DownloadExError::kRuntimeError ? kProgressRejected : kProgressConnectionFailed;
    } catch (...) {
        return kProgressConnectionFailed;
    }
}

}  // namespace

bool CDownloadExCommand::Execute(AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 std::shared_ptr<NTelemetry::NAdHoc::IEventSender> /*sender*/) {
    if (substitutions == nullptr) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgInvalidSubstitutor);
        return false;
    }
    for (auto& [name, value] : attributes) {
        substitutions->Substitute(value);
    }
    progress_manager_ex* manager = updater_.progress().ex();
    DownloadProgress progress(manager, attribute(attributes, kAttrId).value_or(L""),
                              attribute(attributes, kAttrExtra).value_or(L""));
    std::wstring location;
    try {
        location = required(attributes, kAttrLocation);
        const std::wstring directory = required(attributes, kAttrDestDir);
        const auto pipe = attribute(attributes, kAttrProgressPipeName);
        if (pipe && manager != nullptr) {
            manager->set_pipe_name(*pipe);
        }
        http::UrlParts parts;
        if (const rk::DWORD error = http::crack_url(location, parts); error != 0) {
            throw std::system_error(wc::make_winhttp_error(error), "WinHttp: Failed to crack URL");
        }
        std::wstring name = attribute(attributes, kAttrDestFile).value_or(L"");
        if (name.empty()) {
            name = last_segment(parts.path);
        }
        progress.begin();
        wc::Cached_object object(directory, name, cache_host(parts), parts.request_target());
        wc::FetcherOptions options;
        options.ca_file = NHttp::TrustAnchors();
        wc::HttpFetcher fetcher(options, [&progress](std::uint64_t have, std::uint64_t total, std::uint64_t received) {
            progress.progress(have, total, received);
        });
        try {
            wc::http_robo_fetch(object, fetcher, updater_.retry_clock());
        } catch (const std::system_error& error) {
            // A file error (a full disk) leaves a partial file that cannot
            // grow: it goes, with its metadata.
            if (error.code().category() == dira_doro::win32_category()) {
                object.remove();
            }
            throw;
        }

        const auto host_path = rk::sys::to_host_path(object.data_path()).value_or(std::filesystem::path());
        if (RequiresSignatureCheck(name, host_path) && !VerifyCorvaneSignatureImpl(object.data_path())) {
            object.remove();
            fail(DownloadExError::kRuntimeError,
                 rk::text::format(L"Failed to validate Corvane signature on '%ls'; file was deleted", object.data_path()));
        }
        const std::wstring md5 = attribute(attributes, kAttrMd5).value_or(L"");
        if (!md5.empty() && !Md5PrefixMatches(md5, CMD5Checksum::OfFile(host_path).value_or(L""))) {
            object.remove();
            fail(DownloadExError::kRuntimeError,
                 rk::text::format(L"Unable to verify MD5, deleting file: %s", object.data_path()));
        }
        progress.finish(kProgressSuccess);
        return true;
    } catch (...) {
        const std::string reason = dira_doro::describe_exception(std::current_exception());
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, L"DOWNLOADEX of %s failed: %hs", location, reason);
        progress.finish(progress_status(std::current_exception()), rk::text::utf8_to_wide(reason));
        return false;
    }
}

}  // namespace XMLUpdater::v2
