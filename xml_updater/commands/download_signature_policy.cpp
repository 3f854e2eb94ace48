#include "xml_updater/commands/download_signature_policy.h"

#include <array>

#include "platform/system/file.h"
#include "platform/text/strings.h"

namespace XMLUpdater::v2 {

bool HasSignedFileExtension(const std::wstring& file_name) {
    return rk::text::iends_with(file_name, L".exe") || rk::text::iends_with(file_name, L".cab");
}

bool RequiresSignatureCheck(const std::wstring& file_name, const std::filesystem::path& host_path) {
    if (HasSignedFileExtension(file_name)) {
        return true;
    }
    rk::sys::File file;
    std::array<char, 4> magic{};
    std::size_t got = 0;
    if (rk::sys::File::open_host(host_path, {}, file) != 0 || file.read_at(0, magic.data(), magic.size(), got) != 0) {
        return true;
    }
    const bool elf = got == 4 && magic[0] == '\x7f' && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
    const bool script = got >= 2 && magic[0] == '#' && magic[1] == '!';
    return elf || script;
}

}  // namespace XMLUpdater::v2
