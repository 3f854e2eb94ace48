#include "xml_updater/commands/download_signature_policy.h"

#include <array>
#include <fstream>

#include "platform/text/strings.h"

namespace XMLUpdater::v2 {

bool HasSignedFileExtension(const std::wstring& file_name) {
    return rk::text::iends_with(file_name, L".exe") || rk::text::iends_with(file_name, L".cab");
}

bool RequiresSignatureCheck(const std::wstring& file_name, const std::filesystem::path& host_path) {
    if (HasSignedFileExtension(file_name)) {
        return true;
    }
    std::ifstream in(host_path, std::ios::binary);
    if (!in) {
        return true;
    }
    std::array<char, 4> magic{};
    in.read(magic.data(), magic.size());
    const auto got = static_cast<std::size_t>(in.gcount());
    const bool elf = got == 4 && magic[0] == '\x7f' && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
    const bool script = got >= 2 && magic[0] == '#' && magic[1] == '!';
    return elf || script;
}

}  // namespace XMLUpdater::v2
