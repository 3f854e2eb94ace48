// Fuzz target: extracts arbitrary bytes as a cabinet into a temporary
// folder; nothing may appear beside the destination, and every file in it
// must be one the extractor reported complete (no temporary file stays).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <set>
#include <string>

#include "platform/system/cabinet/cabinet_extractor.h"
#include "platform/system/paths.h"

namespace {

namespace fs = std::filesystem;

const fs::path& work_folder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "rk-cab-fuzz-XXXXXX").native();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return fs::path(pattern);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& work = work_folder();
    const fs::path dest = work / "dest";
    rk::sys::cabinet::ExtractOptions options;
    options.max_unpacked_bytes = 16u << 20;
    std::set<fs::path> written;
    options.on_file = [&written](const rk::sys::cabinet::CabinetFile&, const fs::path& path) {
        written.insert(path);
        return true;
    };
    rk::sys::cabinet::extract_cabinet(std::span<const std::uint8_t>(data, size), rk::sys::wide_path(dest), options);
    for (const auto& entry : fs::directory_iterator(work)) {
        if (entry.path() != dest) {
            std::abort();  // written beside the destination
        }
    }
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dest, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_directory() && !written.contains(it->path())) {
            std::abort();  // a partial file left behind
        }
    }
    fs::remove_all(dest, ec);
    return 0;
}
