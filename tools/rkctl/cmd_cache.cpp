// rkctl cache show FILE: a web cache object's metadata (the decrypted
// ".skvs" beside the file) and the request its next fetch would make, so an
// operator can see why a download resumed or was revalidated.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "platform/system/paths.h"
#include "platform/text/utf.h"
#include "tools/rkctl/bounded_file.h"
#include "tools/rkctl/command.h"
#include "xml_updater/web_cache/metadata_codec.h"
#include "xml_updater/web_cache/metadata_keys.h"
#include "xml_updater/web_cache/validation_headers.h"

namespace rk::ctl {
namespace {

namespace fs = std::filesystem;
namespace wc = XMLUpdater::v2::web_cache;

// A host path as UTF-8 for messages.
std::string shown(const fs::path& path) { return text::wide_to_utf8(sys::wide_path(path)); }

constexpr char kUsage[] =
    "usage: rkctl cache show FILE\n"
    "\n"
    "Prints the metadata of a web cache object (FILE or FILE.skvs, written by\n"
    "DOWNLOADEX) and the validation headers its next fetch sends: If-Range and\n"
    "Range resume an interrupted download, If-None-Match/If-Modified-Since\n"
    "revalidate a complete one, none means the whole file is fetched again.\n"
    "Exit code 0, 1 when the metadata cannot be read, 2 for a usage error.\n";

int show(const fs::path& given) {
    fs::path data = given;
    if (data.extension() == ".skvs") {
        data.replace_extension();
    }
    fs::path metadata = data;
    metadata += ".skvs";
    std::string raw;
    switch (read_bounded_file(metadata, wc::kMaxMetadataFileBytes, raw)) {
        case BoundedRead::kOk:
            break;
        case BoundedRead::kTooLarge:
            std::fprintf(stderr, "rkctl cache: %s is larger than %s\n", shown(metadata).c_str(),
                         size_text(wc::kMaxMetadataFileBytes).c_str());
            return kExitFailure;
        case BoundedRead::kCannotRead:
            std::fprintf(stderr, "rkctl cache: cannot open %s\n", shown(metadata).c_str());
            return kExitFailure;
    }
    const std::vector<std::uint8_t> bytes(raw.begin(), raw.end());
    wc::KeyValueStore store;
    try {
        store = wc::decode_metadata(bytes);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rkctl cache: %s: %s\n", shown(metadata).c_str(), error.what());
        return kExitFailure;
    }
    std::error_code ec;
    const std::uint64_t size = fs::exists(data, ec) ? fs::file_size(data, ec) : 0;
    std::printf("file: %s (%llu bytes on disk)\n", shown(data).c_str(), static_cast<unsigned long long>(size));
    std::printf("metadata: %s\n", shown(metadata).c_str());
    for (const auto& [key, value] : store.entries()) {
        const std::string text = std::holds_alternative<std::wstring>(value)
                                     ? text::wide_to_utf8(std::get<std::wstring>(value))
                                     : std::to_string(std::get<std::int64_t>(value));
        std::printf("  %s: %s\n", text::wide_to_utf8(key).c_str(), text.c_str());
    }
    const auto length = wc::entity_length(store);
    const auto headers = wc::validation_headers(store, size);
    if (headers.empty()) {
        std::printf("next fetch: the whole file, unconditionally\n");
    } else if (headers.front().first == wc::kHeaderIfRange) {
        std::printf("next fetch: resumes at byte %llu of %llu\n", static_cast<unsigned long long>(size),
                    static_cast<unsigned long long>(length.value_or(0)));
    } else {
        std::printf("next fetch: revalidates (%s)\n",
                    length && *length == size ? "complete" : "incomplete, but the validator or server allows no range");
    }
    for (const auto& [name, value] : headers) {
        std::printf("  %s: %s\n", text::wide_to_utf8(name).c_str(), text::wide_to_utf8(value).c_str());
    }
    return kExitOk;
}

int run_cache(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "show") {
        std::fprintf(stderr, "%s", kUsage);
        return kExitUsage;
    }
    return show(args[1]);
}

const CommandRegistrar kCache({"cache", "show a web cache object's metadata", kUsage, run_cache});

}  // namespace
}  // namespace rk::ctl
