// rkupdatermodule: the updater module daemon, one copy per login session.
// No command line; exit code 0 on every way out.
#include <memory>
#include <string>
#include <utility>

#include "app/daemon/loop_clock.h"
#include "platform/system/process/secure_start.h"
#include "app/daemon/updater_module.h"
#include "app/http/rk_win_http_client.h"
#include "app/manifest/rk_xml_processor.h"
#include "app/manifest/updater_environment.h"
#include "analytics/http_transaction.h"
#include "platform/system/download/url_download.h"
#include "platform/system/http/http_session.h"
#include "platform/system/named_mutex.h"
#include "platform/system/pending_deletes.h"
#include "platform/system/process_memory.h"
#include "platform/system/registry/registry.h"
#include "profile/profile_data.h"
#include "xml_updater/http_transaction.h"

int main(int /*argc*/, char** argv) {
    using namespace rk::app;
    // Memory the daemon frees between rounds can all go back to the system
    // (docs/performance.md).
    rk::sys::use_one_heap();
    rk::sys::lean_allocator_in_next_image();
    UpdaterModuleParts parts;
    // A copy already running in this session is found before the secure
    // re-execution, so a second start costs one program start, not two. The
    // handle stays open until exit: the single-instance check then refuses
    // even if the other copy ends meanwhile, and this image never runs a pass.
    std::unique_ptr<rk::sys::NamedMutex> other_copy;
    parts.secure_start_ok = rk::sys::SecureStart(argv, [&other_copy] {
        auto probe = rk::sys::NamedMutex::create(kSingleInstanceMutexName);
        if (probe.mutex && probe.error == rk::win::kErrorAlreadyExists) {
            other_copy = std::move(probe.mutex);
        }
        return other_copy != nullptr;
    });
    rk::sys::clear_allocator_settings();
    parts.run_pending_deletes = [] {
        rk::sys::PendingDeletes().run();
        rk::sys::clean_interrupted_downloads();
    };
    // The analytics engine's HTTPS (content updates, content scripts'
    // requests) trusts the profile's anchors too; empty: the system store.
    Halden::HttpTransaction::SetTrustAnchors(std::wstring(rk::profile::kDownloadCaFile));
    XMLUpdater::v2::NHttp::SetTrustAnchors(std::wstring(rk::profile::kDownloadCaFile));
    parts.make_loop_parts = [] {
        auto client = std::make_shared<RkWinHttpClient>();
        client->SetStrictCertificates(rk::profile::kStrictCertificates);
        client->SetMaxBodyBytes(rk::profile::kManifestMaxBytes);
        client->SetServerPort(rk::profile::kManifestPortFromUrl ? kPortFromUrl : kManifestServerPort);

        auto environment = std::make_shared<UpdaterEnvironment>(system_updater_environment());
        // Installer downloads check certificates against the profile's trust
        // anchors when it names some (development: the development root).
        environment->download_options.ca_file = std::wstring(rk::profile::kDownloadCaFile);
        std::shared_ptr<const UpdaterEnvironment> shared_environment = environment;
        // The daemon sleeps for hours between rounds: what a round used goes
        // back first (docs/performance.md).
        auto release = [client] {
            client->ReleaseSession();
            rk::sys::http::unload_http_stack();
            rk::sys::reg::release_cached_memory();
            rk::sys::empty_working_set();
            rk::sys::compact_heaps();  // last: what the steps above freed goes too
        };
        return UpdaterLoopParts{client, std::wstring(rk::profile::kManifestUrl),
                                [shared_environment] { return MakeRkXMLProcessor(shared_environment); },
                                MakeSystemLoopClock(), std::move(release)};
    };
    return RunUpdaterModule(parts);
}
