// Fuzz target of CUpdater::ExecuteUpdate: any bytes as an update document,
// signature gate off, inside a temporary root prefix, with the network
// replaced by a fetcher that finds nothing (REDIRECT fails at once).
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "xml_updater/test/quiet_logger.h"
#include "xml_updater/updater.h"

namespace {

namespace xu = XMLUpdater::v2;

class NullSender final : public xu::NTelemetry::NAdHoc::IEventSender {
public:
    bool Initialize() override { return true; }
    bool SendEvent(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                   const wchar_t*, const wchar_t*) override {
        return true;
    }
    bool Flush() override { return true; }
    bool Shutdown() override { return true; }
    bool SetCustomDimension(const wchar_t*, const wchar_t*) override { return true; }
};

xu::CUpdater& engine() {
    static xu::CUpdater* updater = [] {
        std::string root = (std::filesystem::temp_directory_path() / "rk-xml-fuzz-XXXXXX").string();
        if (::mkdtemp(root.data()) != nullptr) {
            ::setenv("RK_ROOT", root.c_str(), 1);
        }
        auto* u = new xu::CUpdater();  // lives for the process
        u->Initialize(std::make_shared<NullSender>(), false, std::make_shared<xu::QuietLogger>(), nullptr, nullptr);
        u->SetDocumentFetcher([](const std::wstring&, const xu::ProxySettings*, bool) { return std::vector<std::uint8_t>(); });
        return u;
    }();
    return *updater;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int exit_code = 0;
    engine().ExecuteUpdate(data, size, exit_code);
    return 0;
}
