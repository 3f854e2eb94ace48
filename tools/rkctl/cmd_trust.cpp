// rkctl trust: what content trust says about a file, and why.
#include <cstdio>

#include "framework_client/client_instance_impl.h"
#include "platform/system/paths.h"
#include "platform/text/utf.h"
#include "tools/rkctl/command.h"
#include "trust/classification.h"
#include "trust/trust_validator.h"

namespace rk::ctl {
namespace {

constexpr char kUsage[] =
    "usage: rkctl trust FILE [--content-root DIR] [--report] [--bus system|session] [--address ADDR]\n"
    "\n"
    "Classifies FILE as the updater's content-trust validator does: the\n"
    "latest signed trust content (default root: ProgramData's\n"
    "Corvane\\KTV\\content\\av-trust), the validation library when there is\n"
    "one, and the file's signatures. Prints the flags with their tags, the\n"
    "content version used, the listed certificates that set them, and the\n"
    "answer the updater would get. --report also sends the result to the\n"
    "framework service's cache (\"av.cache.set\").\n"
    "Exit code: 0 signed by the maker, 1 not, 2 usage error or no answer.\n";

int run_trust(const std::vector<std::string>& args) {
    trust::ValidatorOptions options;
    options.framework = ctp::detail::default_client_options().communicator.connection;
    bool report = false;
    std::string file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool has_value = i + 1 < args.size();
        if (args[i] == "--content-root" && has_value) {
            options.content_root = text::utf8_to_wide(args[++i]);
        } else if (args[i] == "--report") {
            report = true;
        } else if (args[i] == "--bus" && has_value) {
            const std::string& kind = args[++i];
            options.framework.bus.kind = kind == "session" ? sys::ipc::BusKind::kSession : sys::ipc::BusKind::kSystem;
        } else if (args[i] == "--address" && has_value) {
            options.framework.bus.address = args[++i];
        } else if (file.empty() && !args[i].starts_with("--")) {
            file = args[i];
        } else {
            std::fprintf(stderr, "%s", kUsage);
            return kExitUsage;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    const std::wstring path = text::utf8_to_wide(file);
    trust::TrustValidator validator(options);
    trust::ValidationResult result;
    const std::uint32_t request = trust::request::kJournalIdentity | trust::request::kEmbedded |
                                  trust::request::kCatalog | (report ? trust::request::kReportToCache : 0);
    if (auto ec = validator.validate_file(path, request, result)) {
        std::fprintf(stderr, "rkctl trust: cannot validate %s: %s\n", file.c_str(), ec.message().c_str());
        return kExitUsage;
    }
    const std::string folder = text::wide_to_utf8(validator.content_folder());
    std::printf("file:            %s\n", file.c_str());
    std::printf("content folder:  %s\n", folder.empty() ? "(none: the built-in list)" : folder.c_str());
    std::printf("content version: %llu\n", static_cast<unsigned long long>(result.content_version));
    std::printf("flags:           %llu %s\n", static_cast<unsigned long long>(result.flags),
                trust::flag_tags(result.flags).c_str());
    for (const auto& hit : validator.explain(path)) {
        std::printf("because:         chain certificate %zu/%zu '%s' is listed (type %u)\n", hit.index, hit.count,
                    text::wide_to_utf8(hit.name).c_str(), static_cast<unsigned>(hit.type));
    }
    const auto answer = validator.validate(path);
    std::printf("validate:        %s\n", !answer ? "no answer (the updater would still run it)"
                                         : *answer ? "signed by the maker"
                                                   : "not signed by the maker");
    return !answer ? kExitUsage : (*answer ? kExitOk : kExitFailure);
}

const CommandRegistrar kTrust({"trust", "classify a file as content trust does", kUsage, run_trust});

}  // namespace
}  // namespace rk::ctl
