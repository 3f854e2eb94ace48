// rkctl pass: one manifest processing pass against a manifest file or URL,
// printing every decision, result word and event the updater would report.
// Events are printed, never sent: the tool has its own copy of the pass's
// decision table so that a release engineer's dry run cannot reach the
// analytics path. --dry-run stops before the installer starts.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/manifest/rk_update_checker.h"
#include "app/manifest/rk_xml_processor.h"
#include "app/manifest/updater_environment.h"
#include "platform/system/download/url_download.h"
#include "platform/system/environment.h"
#include "platform/system/files.h"
#include "platform/system/known_folders.h"
#include "platform/system/paths.h"
#include "platform/text/utf.h"
#include "telemetry/rk_updater_module_events.h"
#include "telemetry/updater_events.h"
#include "profile/profile_data.h"
#include "tools/rkctl/bounded_file.h"
#include "tools/rkctl/command.h"

namespace rk::ctl {
namespace {

using text::utf8_to_wide;
using text::wide_to_utf8;

constexpr char kUsage[] =
    "usage: rkctl pass MANIFEST [--dry-run] [--ca-file FILE] [--insecure] [--log]\n"
    "\n"
    "Runs one manifest processing pass as the updater does on its first poll:\n"
    "parses MANIFEST (a file, or an http:// or https:// URL), checks the\n"
    "preconditions on this machine, downloads the installer, checks its\n"
    "signature when the manifest asks, runs it and waits, and deletes the\n"
    "destination folder when asked. Prints each decision, result word and the\n"
    "event the updater would report (events are not sent).\n"
    "\n"
    "  --dry-run      stop before the installer starts (it is still downloaded\n"
    "                 and its signature checked)\n"
    "  --ca-file F    trust F's certificates for the manifest and installer\n"
    "                 downloads (PEM)\n"
    "  --insecure     ignore certificate errors of those downloads\n"
    "  --log          also write the updater's log lines (every level) to standard error\n"
    "\n"
    "Exit status: 0 when the pass ended without a failure event, 1 when it\n"
    "reported 64, 68 or 70 or the manifest could not be read, 2 for usage errors.\n";

struct PassOptions {
    std::string source;
    bool dry_run = false;
    bool insecure = false;
    bool log = false;
    std::string ca_file;
};

const char* event_label(DWORD id) {
    switch (id) {
        case telemetry::kEventParseXmlFailed: return "ParseXMLFailed";
        case telemetry::kEventHeartBeat: return "RkUpdaterHeartBeat";
        case telemetry::kEventPrecondCheckStarted: return "PrecondCheckStarted";
        case telemetry::kEventPrecondCheckSuccess: return "PrecondCheckSuccess";
        case telemetry::kEventPrecondCheckFailed: return "PrecondCheckFailed";
        case telemetry::kEventDownloadExecuteFailed: return "DwnldExecuteFailed";
        case telemetry::kEventDownloadExecuteSuccess: return "DwnldExecuteSuccess";
        default: return "?";
    }
}

class Reporter {
public:
    void event(DWORD id, const std::wstring& detail) {
        std::printf("event %u %s detail=\"%s\" payload=\"%s\"\n", id, event_label(id), wide_to_utf8(detail).c_str(),
                    wide_to_utf8(telemetry::FormPayload(detail)).c_str());
        failed_ = failed_ || id == telemetry::kEventParseXmlFailed || id == telemetry::kEventPrecondCheckFailed ||
                  id == telemetry::kEventDownloadExecuteFailed;
    }
    bool failed() const { return failed_; }

private:
    bool failed_ = false;
};

std::optional<std::string> read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The manifest body as the HTTP client hands it over (UTF-8 decoded).
std::optional<std::wstring> fetch_manifest(const PassOptions& o, const sys::DownloadOptions& download) {
    const bool is_url = o.source.rfind("http://", 0) == 0 || o.source.rfind("https://", 0) == 0;
    // The manifest bound of the daemon's client applies to files and URLs.
    if (!is_url) {
        std::string bytes;
        switch (read_bounded_file(o.source, profile::kManifestMaxBytes, bytes)) {
            case BoundedRead::kOk:
                break;
            case BoundedRead::kTooLarge:
                std::fprintf(stderr, "rkctl pass: '%s' is larger than %s\n", o.source.c_str(),
                             size_text(profile::kManifestMaxBytes).c_str());
                return std::nullopt;
            case BoundedRead::kCannotRead:
                std::fprintf(stderr, "rkctl pass: cannot read '%s'\n", o.source.c_str());
                return std::nullopt;
        }
        std::printf("manifest: %zu bytes from %s\n", bytes.size(), o.source.c_str());
        return utf8_to_wide(bytes);
    }
    std::wstring temp;
    if (sys::create_directories(sys::temp_dir()) != 0 ||
        sys::create_temp_file(sys::temp_dir(), L"rkctl-manifest-", temp) != 0) {
        std::fprintf(stderr, "rkctl pass: cannot create a temporary file\n");
        return std::nullopt;
    }
    sys::DownloadOptions bounded = download;
    bounded.max_bytes = profile::kManifestMaxBytes;
    const HRESULT hr = sys::download_url_to_file(utf8_to_wide(o.source), temp, bounded);
    const auto bytes = hr >= 0 ? read_all(sys::to_host_path(temp).value_or(std::filesystem::path())) : std::nullopt;
    sys::delete_file(temp);
    if (!bytes) {
        std::printf("manifest: fetching %s failed: 0x%x\n", o.source.c_str(), static_cast<unsigned>(hr));
        return std::nullopt;
    }
    std::printf("manifest: %zu bytes from %s\n", bytes->size(), o.source.c_str());
    return utf8_to_wide(*bytes);
}

void print_preconditions(const CRkXMLProcessor& processor) {
    const auto* checker = dynamic_cast<const CRkUpdateChecker*>(processor.Checker().get());
    if (checker == nullptr) {
        return;
    }
    for (const auto& [name, value] : checker->RegistryValues()) {
        std::printf("registry: %s = \"%s\"\n", wide_to_utf8(name).c_str(), wide_to_utf8(value).c_str());
    }
}

void print_installer_plan(const CRkXMLProcessor& processor) {
    const auto& executor = processor.Executor();
    if (!executor) {
        return;
    }
    const std::wstring folder = executor->ResolveDestDir();
    std::printf("affiliate id: \"%s\"\n", wide_to_utf8(executor->AffiliateId()).c_str());
    std::printf("destination: %s\n", folder.empty() ? "(the Installer folder beside the updater)"
                                                    : wide_to_utf8(folder).c_str());
}

int run_pass(const std::vector<std::string>& args) {
    PassOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dry-run") {
            o.dry_run = true;
        } else if (a == "--insecure") {
            o.insecure = true;
        } else if (a == "--log") {
            o.log = true;
        } else if (a == "--ca-file" && i + 1 < args.size()) {
            o.ca_file = args[++i];
        } else if (!a.empty() && a[0] != '-' && o.source.empty()) {
            o.source = a;
        } else {
            std::fprintf(stderr, "rkctl pass: unexpected argument '%s'\n%s", a.c_str(), kUsage);
            return kExitUsage;
        }
    }
    if (o.source.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    if (o.log) {
        // Read by the process logger's builder on first use. Severity 1 lets
        // every level through: failures are logged at 1 and 5, progress at 6.
        sys::set_environment_variable("RK_LOG_STDERR", "1");
        sys::set_environment_variable("RK_LOG_SEVERITY", "1");
    }

    auto env = std::make_shared<app::UpdaterEnvironment>(app::system_updater_environment());
    env->download_options.ca_file = o.ca_file;
    if (o.insecure) {
        env->download_options.security_flags = sys::http::kSecurityFlagsIgnoreCertErrors;
    }
    if (o.dry_run) {
        env->before_start = [](const sys::StartOptions& start) {
            std::printf("dry run: not starting %s (in %s)\n", wide_to_utf8(start.command_line).c_str(),
                        wide_to_utf8(start.working_directory).c_str());
            return false;
        };
    }

    const auto body = fetch_manifest(o, env->download_options);
    if (!body) {
        std::printf("no manifest: the updater would retry, then sleep the stored interval\n");
        return kExitFailure;
    }

    Reporter report;
    CRkXMLProcessor processor(env);
    processor.SetXMLContent(*body);
    std::wstring detail;
    const bool parsed = processor.ParseXMLContent(detail);
    std::printf("parse: %s\n", wide_to_utf8(detail).c_str());
    if (!parsed) {
        report.event(telemetry::kEventParseXmlFailed, detail);
        std::printf("next poll: in 1440 minutes\n");
        return kExitFailure;
    }
    const std::wstring polling = processor.GetPollingTimeInMins();
    std::printf("enabled: %s, heart-beat: %s, retry: %s\n", processor.IsUpdaterEnabled() ? "yes" : "no",
                processor.IsHeartBeatEnabled() ? "yes" : "no", processor.IsRetryEnabled() ? "yes" : "no");
    if (!processor.IsUpdaterEnabled()) {
        if (processor.IsHeartBeatEnabled()) {
            report.event(telemetry::kEventHeartBeat, L"");
        }
        std::printf("update: not enabled\n");
    } else {
        // A single pass is the first attempt of a process's life, so retry
        // does not matter here; it only keeps later passes quiet.
        report.event(telemetry::kEventPrecondCheckStarted, L"");
        const bool ready = processor.IsPreConditionSuccess(detail);
        print_preconditions(processor);
        std::printf("precondition: %s\n", wide_to_utf8(detail).c_str());
        if (ready) {
            report.event(telemetry::kEventPrecondCheckSuccess, detail);
            const bool ran = processor.DownloadAndExecuteInstaller(detail);
            print_installer_plan(processor);
            std::printf("installer: %s\n", wide_to_utf8(detail).c_str());
            if (o.dry_run && !ran && detail == app::word::kDownloadSuccess) {
                std::printf("dry run: no event 70 or 71\n");
            } else {
                report.event(ran ? telemetry::kEventDownloadExecuteSuccess : telemetry::kEventDownloadExecuteFailed,
                             detail);
            }
            if (o.dry_run) {
                std::printf("dry run: destination kept\n");
            } else {
                std::printf("delete destination: %s\n", processor.DeleteIfNeeded() ? "deleted" : "no");
            }
        } else {
            report.event(telemetry::kEventPrecondCheckFailed, detail);
        }
    }
    std::printf("next poll: in %s minutes\n", wide_to_utf8(polling).c_str());
    return report.failed() ? kExitFailure : kExitOk;
}

const CommandRegistrar kPass({"pass", "run one manifest processing pass and print what the updater would report",
                              kUsage, run_pass});

}  // namespace
}  // namespace rk::ctl
