#include "xml_updater/web_cache/http_fetcher.h"

#include <exception>
#include <system_error>
#include <vector>

#include "platform/system/http/http_session.h"
#include "platform/system/http/url_parts.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "xml_updater/web_cache/block_buffer.h"
#include "xml_updater/web_cache/cached_object.h"
#include "xml_updater/web_cache/http_fetcher_error.h"
#include "xml_updater/web_cache/metadata_keys.h"
#include "xml_updater/web_cache/response_plan.h"
#include "xml_updater/web_cache/validation_headers.h"
#include "xml_updater/web_cache/winhttp_category.h"

namespace XMLUpdater::v2::web_cache {
namespace {

namespace http = rk::sys::http;

void check(rk::DWORD error, const std::string& what) {
    if (error != 0) {
        throw std::system_error(make_winhttp_error(error), what);
    }
}

// Status and the kept response headers. A 304 updates only what it sends;
// other answers replace the headers, so none of an older answer remains.
void record_response(KeyValueStore& metadata, const http::HttpRequest& request, unsigned status) {
    metadata.set(kKeyStatus, std::to_wstring(status));
    for (const wchar_t* name : kStoredResponseHeaders) {
        if (auto value = request.header(name)) {
            metadata.set(name, std::move(*value));
        } else if (status != kStatusNotModified) {
            metadata.erase(name);
        }
    }
}

}  // namespace

HttpFetcher::HttpFetcher(FetcherOptions options, FetchProgress progress)
    : options_(std::move(options)), progress_(std::move(progress)) {}

void HttpFetcher::fetch(Cached_object& object) {
    http::SessionOptions session_options;
    session_options.user_agent = kFetcherAgent;
    session_options.proxy.access = http::AccessType::kDefaultProxy;
    session_options.timeouts = options_.timeouts;
    session_options.ca_file = options_.ca_file;
    rk::DWORD error = 0;
    const auto session = http::open_http_session(session_options, error);
    check(session ? 0 : error, "WinHttp: Failed to create session");
    check(session->set_secure_protocols(options_.secure_protocols), "WinHttp: Failed to set secure protocols");

    http::UrlParts target;
    check(http::crack_url(L"https://" + object.host() + L"/", target), "WinHttp: Failed to connect to host");
    const auto connection = session->connect(target.host, target.port, error);
    check(connection ? 0 : error, "WinHttp: Failed to connect to host");
    const auto request = connection->open_request(http::kVerbGet, object.path(), true, error);
    check(request ? 0 : error, "WinHttp: Failed to open request");

    const std::uint64_t cached_size = object.data_size();
    for (const auto& [name, value] : validation_headers(object.metadata(), cached_size)) {
        check(request->add_headers(name + L": " + value, http::kAddReqFlagAdd | http::kAddReqFlagReplace),
              rk::text::format(std::string_view("WinHttp: Failed to set %ls request header"), name));
    }
    check(request->send(), "WinHttp: Failed to send request");
    check(request->receive_response(), "WinHttp: Failed to receive response");

    ResponseFacts facts;
    facts.status = request->status_code();
    facts.content_range = request->header(kHeaderContentRange);
    facts.content_length = request->content_length();
    facts.cached_size = cached_size;
    facts.entity_length = entity_length(object.metadata());
    ResponsePlan plan;
    try {
        plan = plan_response(facts);
    } catch (const std::system_error&) {
        // The validators of the data stay; only the status is news.
        object.metadata().set(kKeyStatus, std::to_wstring(facts.status));
        object.save_metadata();
        throw;
    }
    if (plan.action == BodyAction::kRewrite) {
        object.begin_data(false);  // before the new validators are stored
    }
    record_response(object.metadata(), *request, facts.status);
    object.metadata().set(kKeyEntityLength, std::to_wstring(plan.entity_length));
    object.save_metadata();
    if (plan.action == BodyAction::kKeep) {
        return;
    }
    if (plan.action == BodyAction::kAppend) {
        object.begin_data(true);
    }
    const std::uint64_t start = plan.action == BodyAction::kAppend ? cached_size : 0;
    // The body goes from the transport straight into 64 KiB blocks (no copy
    // through the request's own buffer). What fails inside the sink stops the
    // transfer and is thrown once read_body has returned.
    BlockBuffer blocks(kFetchBlockBytes);
    std::uint64_t arrived = 0;
    std::uint64_t received = 0;
    const auto write_block = [&](std::span<const std::uint8_t> block) {
        object.write_data(block);
        received += block.size();
        if (progress_) {
            progress_(start + received, plan.entity_length, received);
        }
        return true;
    };
    std::exception_ptr failure;
    const rk::DWORD read_error = request->read_body([&](std::span<const std::uint8_t> piece) {
        try {
            if (piece.size() > plan.body_length - arrived) {
                throw std::system_error(make_error_code(HttpFetcherError::kContentLengthMismatch));
            }
            arrived += piece.size();
            return blocks.add(piece, write_block);
        } catch (...) {
            failure = std::current_exception();
            return false;
        }
    });
    if (failure) {
        std::rethrow_exception(failure);
    }
    blocks.flush(write_block);  // also after a cut: a later fetch resumes behind it
    check(read_error, "WinHttp: Error in WinHttpReadData");
    object.end_data();
    if (received != plan.body_length) {
        throw std::system_error(make_error_code(HttpFetcherError::kContentLengthMismatch));
    }
}

}  // namespace XMLUpdater::v2::web_cache
