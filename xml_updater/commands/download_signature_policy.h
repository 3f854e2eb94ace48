// Which downloaded files must carry an accepted signature (DOWNLOAD and
// DOWNLOADEX): names ending in ".exe" or ".cab" without regard to case, as
// documents name Windows programs and cabinets, and on Linux every file the
// kernel would run whatever its name: an ELF image (programs, libraries,
// "no extension" tools) or a script starting with "#!".
#pragma once

#include <filesystem>
#include <string>

namespace XMLUpdater::v2 {

bool HasSignedFileExtension(const std::wstring& file_name);

// `host_path` is read (4 bytes) only when the name does not decide; a file
// that cannot be read requires the check (it fails there).
bool RequiresSignatureCheck(const std::wstring& file_name, const std::filesystem::path& host_path);

}  // namespace XMLUpdater::v2
