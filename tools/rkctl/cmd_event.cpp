// rkctl event ID [DETAIL]: one updater event through the whole analytics
// path, as the daemon reports it: engine start (bootstrap, content update),
// the record through the tracker into the engine, engine stop. Prints the
// record as it went to its transport; the engine's log lines go to
// standard error. For operators testing a content release.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analytics/http_transaction.h"
#include "analytics/record_json.h"
#include "analytics/rk_ale_engine_controller.h"
#include "analytics/sdk_connector.h"
#include "platform/system/environment.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"
#include "telemetry/rk_updater_module_events.h"
#include "tools/rkctl/command.h"
#include "xml_updater/http_transaction.h"

namespace rk::ctl {
namespace {

constexpr char kUsage[] =
    "usage: rkctl event ID [DETAIL] [--content-url URL] [--ca-file FILE] [--delay SECONDS]\n"
    "\n"
    "Reports updater event ID (64 to 71) with DETAIL as the daemon does: starts\n"
    "the analytics engine (bootstrap, content update, content scripts), sends the\n"
    "event's record into it and stops it. Prints the record as it went to its\n"
    "transport; the engine's log lines (every level) go to standard error.\n"
    "\n"
    "  --content-url URL  the content update document (default: the profile's)\n"
    "  --ca-file FILE     trust FILE's certificates for the engine's HTTPS\n"
    "                     (default: the profile's download_ca_file)\n"
    "  --delay SECONDS    how long the stop waits for queued script work (20)\n"
    "\n"
    "Exit status: 0 when the record was sent, 1 when not, 2 for usage errors.\n";

int run_event(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    Halden::Analytics::EngineOptions options;
    std::string ca_file = text::wide_to_utf8(profile::kDownloadCaFile);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--content-url" && has_value) {
            options.content_update_url = text::utf8_to_wide(args[++i]);
        } else if (a == "--ca-file" && has_value) {
            ca_file = args[++i];
        } else if (a == "--delay" && has_value) {
            options.terminate_delay = text::utf8_to_wide(args[++i]);
        } else if (a.starts_with("--")) {
            std::fprintf(stderr, "%s", kUsage);
            return kExitUsage;
        } else {
            positional.push_back(a);
        }
    }
    char* end = nullptr;
    const unsigned long id = positional.empty() ? 0 : std::strtoul(positional[0].c_str(), &end, 10);
    if (positional.empty() || positional.size() > 2 || *end != '\0' || id > 0xFFFFFFFFul) {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    const std::wstring detail = positional.size() > 1 ? text::utf8_to_wide(positional[1]) : std::wstring();
    // Read by the process logger's builder on first use.
    sys::set_environment_variable("RK_LOG_STDERR", "1");
    sys::set_environment_variable("RK_LOG_SEVERITY", "1");
    Halden::HttpTransaction::SetTrustAnchors(ca_file);
    XMLUpdater::v2::NHttp::SetTrustAnchors(ca_file);
    Halden::Analytics::CRkALEEngineController::SetEngineOptions(options);

    int sent = 0;
    Halden::Analytics::SetRecordObserver([&sent](const Halden::Analytics::Record& record) {
        ++sent;
        std::printf("record: %s\n", text::wide_to_utf8(Halden::Analytics::RecordToJson(record)).c_str());
        std::fflush(stdout);
    });
    SendRkUpdaterModuleEvents(static_cast<DWORD>(id), detail);
    Halden::Analytics::SetRecordObserver({});
    if (sent == 0) {
        std::printf("no record was sent for event %lu\n", id);
    }
    return sent > 0 ? kExitOk : kExitFailure;
}

const CommandRegistrar kRegistrar({"event", "send one updater event through the analytics engine", kUsage, run_event});

}  // namespace
}  // namespace rk::ctl
