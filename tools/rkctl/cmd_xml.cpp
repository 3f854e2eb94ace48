// rkctl xml: runs an update document with the XML update engine, so content
// engineers can try a document before publishing it.
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/terminal.h"
#include "platform/text/utf.h"
#include "profile/profile_data.h"
#include "tools/rkctl/bounded_file.h"
#include "tools/rkctl/command.h"
#include "tools/rkctl/progress_bar.h"
#include "xml_updater/download_file.h"
#include "xml_updater/hound.h"
#include "xml_updater/hound_library.h"
#include "xml_updater/http_transaction.h"
#include "xml_updater/updater.h"

namespace rk::ctl {
namespace {

namespace xu = XMLUpdater::v2;

// Exit code when the document file could not be read (the engine's own
// status codes are 0 to 4).
constexpr int kExitNoDocument = 5;

constexpr char kUsage[] =
    "usage: rkctl xml [options] FILE|URL\n"
    "\n"
    "Runs an update document with the XML update engine. A FILE exits with the\n"
    "engine's status: 0 processed, 1 the walk failed, 2 not initialised,\n"
    "3 signature check failed, 4 parse failed (an empty file too); 5 when the\n"
    "file cannot be read. A URL runs as the engine runs an address\n"
    "(CUpdater::Update: test hook, STORE_XML_ON_DISK, a second try without\n"
    "proxy) and exits 0 when the update succeeded, 1 when it failed.\n"
    "2 for a usage error.\n"
    "\n"
    "options:\n"
    "  --verify             require the document signature (trailer)\n"
    "  --var NAME=VALUE     set an engine variable first (repeatable)\n"
    "  --log                print the engine log (all levels) to stderr\n"
    "  --events             print the test hook's events to stderr\n"
    "  --ca-file FILE       trust anchors for HTTPS (default: the profile's)\n"
    "  --quiet              no download progress bar (there is none either when\n"
    "                       standard error is not a terminal)\n"
    "\n"
    "Commands write to the registry and files of the root prefix (RK_ROOT).\n";

class PrintingLogger final : public xu::IXmlUpdaterLogger {
public:
    void Log(unsigned level, const wchar_t* file, int line, const wchar_t* message) override {
        std::fprintf(stderr, "[xml %u] %s:%d %s\n", level, text::wide_to_utf8(file != nullptr ? file : L"").c_str(), line,
                     text::wide_to_utf8(message != nullptr ? message : L"").c_str());
    }
};

// A hook that prints every event and answers nothing, so the document runs
// as it would without a hook.
class PrintingHook final : public xu::Hound::CInternalInterface {
public:
    bool Initialize(const std::string&) override { return true; }
    void Exit() override {}
    std::string DispatchWide(std::string_view event, std::wstring_view arguments) override {
        return Dispatch(event, text::wide_to_utf8(arguments));
    }
    std::string Dispatch(std::string_view event, std::string_view arguments) override {
        std::fprintf(stderr, "[hook] %.*s %.*s\n", static_cast<int>(event.size()), event.data(),
                     static_cast<int>(arguments.size()), arguments.data());
        return {};
    }
    const std::string& LastResult() const override { return last_; }

private:
    std::string last_;
};

class NullSender final : public xu::NTelemetry::NAdHoc::IEventSender {
public:
    bool Initialize() override { return true; }
    bool SendEvent(const wchar_t* c, const wchar_t* a, const wchar_t* l, const wchar_t*, const wchar_t*, const wchar_t*,
                   const wchar_t*, const wchar_t*) override {
        std::printf("event: %s / %s / %s\n", text::wide_to_utf8(c != nullptr ? c : L"").c_str(),
                    text::wide_to_utf8(a != nullptr ? a : L"").c_str(), text::wide_to_utf8(l != nullptr ? l : L"").c_str());
        return true;
    }
    bool Flush() override { return true; }
    bool Shutdown() override { return true; }
    bool SetCustomDimension(const wchar_t* name, const wchar_t* value) override {
        std::printf("custom dimension: %s = %s\n", text::wide_to_utf8(name).c_str(), text::wide_to_utf8(value).c_str());
        return true;
    }
};

bool is_url(const std::string& source) {
    return source.rfind("https://", 0) == 0 || source.rfind("http://", 0) == 0;
}

int run_xml(const std::vector<std::string>& args) {
    bool verify = false;
    bool log = false;
    bool events = false;
    bool quiet = false;
    std::string ca_file = text::wide_to_utf8(profile::kDownloadCaFile);
    std::vector<std::pair<std::wstring, std::wstring>> variables;
    std::string source;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--verify") {
            verify = true;
        } else if (arg == "--log") {
            log = true;
        } else if (arg == "--events") {
            events = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if ((arg == "--var" || arg == "--ca-file") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (arg == "--ca-file") {
                ca_file = value;
                continue;
            }
            const auto equals = value.find('=');
            if (equals == std::string::npos || equals == 0) {
                std::fprintf(stderr, "rkctl xml: --var needs NAME=VALUE\n");
                return kExitUsage;
            }
            variables.emplace_back(text::utf8_to_wide(value.substr(0, equals)), text::utf8_to_wide(value.substr(equals + 1)));
        } else if (!arg.empty() && arg[0] != '-' && source.empty()) {
            source = arg;
        } else {
            std::fprintf(stderr, "rkctl xml: unexpected argument '%s'\n%s", arg.c_str(), kUsage);
            return kExitUsage;
        }
    }
    if (source.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    xu::NHttp::SetTrustAnchors(ca_file);
    if (events) {
        xu::Hound::Install(std::make_unique<PrintingHook>());
    }
    std::shared_ptr<xu::IXmlUpdaterLogger> logger;
    if (log) {
        logger = std::make_shared<PrintingLogger>();
    }
    std::shared_ptr<xu::progress_manager> progress;
    if (!quiet && sys::is_terminal(sys::StandardStream::kError)) {
        progress = std::make_shared<ProgressBar>();
    }
    xu::CUpdater updater;
    if (!updater.Initialize(std::make_shared<NullSender>(), verify, logger, progress, nullptr)) {
        std::fprintf(stderr, "rkctl xml: the engine did not initialise\n");
        return xu::kUpdateNotInitialized;
    }
    for (const auto& [name, value] : variables) {
        updater.SetVariable(name, value);
    }
    int exit_code = 0;
    if (is_url(source)) {
        // As the engine runs a document from an address: the test hook sees
        // it first, STORE_XML_ON_DISK keeps a copy, a failed fetch is tried
        // again without the proxy.
        const bool ok = updater.Update(text::utf8_to_wide(source), exit_code);
        std::printf("update: %s\nexit code: %d\n", ok ? "succeeded" : "failed", exit_code);
        return ok ? kExitOk : kExitFailure;
    }
    // The engine's own document limit, checked before reading.
    std::vector<std::uint8_t> data;
    const BoundedRead read = read_bounded_file(source, xu::NHttp::NDownloadFile::kMaxDocumentBytes, data);
    if (read == BoundedRead::kTooLarge) {
        std::fprintf(stderr, "rkctl xml: %s is larger than %s\n", source.c_str(),
                     size_text(xu::NHttp::NDownloadFile::kMaxDocumentBytes).c_str());
        return kExitNoDocument;
    }
    if (read != BoundedRead::kOk) {
        std::fprintf(stderr, "rkctl xml: cannot read %s\n", source.c_str());
        return kExitNoDocument;
    }
    // An empty file is a document like any other: the engine refuses it.
    // The engine takes the file's buffer over and releases it once decoded
    // (docs/rkctl.md).
    const int status = updater.ExecuteUpdate(std::move(data), exit_code);
    std::printf("status: %d\nexit code: %d\n", status, exit_code);
    return status;
}

const CommandRegistrar kXml({"xml", "run an update document with the XML update engine", kUsage, run_xml});

}  // namespace
}  // namespace rk::ctl
