#include "analytics/txt_ver_substitution.h"

#include <string_view>

#include "analytics/analytics_log.h"
#include "platform/system/file.h"
#include "platform/text/utf.h"
#include "xml_updater/substitutions/substitution_constants.h"

namespace Halden::Analytics {
namespace {
constexpr wchar_t kFile[] = L"TxtVerSubstitution.cpp";
constexpr wchar_t kFunction[] = L"CTxtVerSubstitution::Substitute";
constexpr std::string_view kKey = "$FileVersion=";
}  // namespace

std::wstring CTxtVerSubstitution::Substitute(const std::wstring& arguments,
                                             XMLUpdater::v2::CSubstitutionManager* /*manager*/) {
    rk::sys::File file;
    if (const rk::DWORD error = rk::sys::File::open(arguments, rk::sys::FileOpenOptions{}, file); error != 0) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"failed to open file: %s with error code %d", arguments,
                   error);
        return XMLUpdater::v2::kUnknownValue;
    }
    char buffer[kTxtVerReadBytes];
    std::size_t read = 0;
    if (const rk::DWORD error = file.read_at(0, buffer, sizeof buffer, read); error != 0) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, L"failed to read the file: %d", error);
        return XMLUpdater::v2::kUnknownValue;
    }
    TxtVerResult found = FindTxtVer(std::string_view(buffer, read));
    if (found.failure != nullptr) {
        log::Write(log::kFailure, kFile, kFunction, __LINE__, found.failure);
        return XMLUpdater::v2::kUnknownValue;
    }
    return found.version;
}

TxtVerResult FindTxtVer(std::string_view text) {
    text = text.substr(0, kTxtVerReadBytes);
    std::size_t at = text.find('$');
    while (at != std::string_view::npos && text.substr(at, kKey.size()) != kKey) {
        at = text.find('$', at + 1);
    }
    if (at == std::string_view::npos) {
        return {{}, L"failed to find file version key"};
    }
    const std::size_t begin = at + kKey.size();
    const std::size_t end = text.find(' ', begin);
    if (end == std::string_view::npos) {
        return {{}, L"failed to find the end of the file version"};
    }
    return {rk::text::utf8_to_wide(text.substr(begin, end - begin)), nullptr};
}

}  // namespace Halden::Analytics
