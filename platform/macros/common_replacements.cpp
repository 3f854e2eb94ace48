#include "platform/macros/common_replacements.h"

#include "platform/macros/macro_syntax.h"
#include "platform/macros/os_info_proxy.h"
#include "platform/system/paths.h"
#include "platform/system/process_info.h"

namespace DiraDoro {
namespace internal {

class CommonReplacementsImpl {
public:
    CommonReplacementsImpl(std::shared_ptr<ShlObjAPI> shell, std::shared_ptr<WinOSVersionAPI> os)
        : shell_(shell ? std::move(shell) : CreateShlObjAPI()),
          os_info_(os ? std::move(os) : CreateWinOSVersionAPI()) {}

    std::wstring known_folder(rk::sys::KnownFolder folder) const {
        std::wstring path;
        if (shell_->SHGetKnownFolderPath(folder, 0, path) != rk::win::kSOk) return {};
        return path;
    }

    std::wstring platform() const {
        const int code = os_info_.GetPlatform();
        return std::wstring(kPlatformNames[code >= 0 && code <= 2 ? code : kPlatformUnknown]);
    }

    std::size_t found = 0;
    std::size_t replaced = 0;

private:
    std::shared_ptr<ShlObjAPI> shell_;
    OSInfoProxy os_info_;
};

}  // namespace internal

namespace {

using internal::CommonReplacementsImpl;
using BuiltInFunction = std::function<std::wstring(const CommonReplacementsImpl&)>;
using BuiltInTable = std::map<std::wstring, BuiltInFunction, std::less<>>;

// Parts of the executable's path selected by the app macros.
constexpr unsigned kPartDrive = 1;
constexpr unsigned kPartDirectory = 2;
constexpr unsigned kPartFileName = 4;
constexpr unsigned kPartExtension = 8;

// The executable's path split once per process (GetModuleFileNameW).
const rk::sys::SplitPath& own_image_parts() {
    static const rk::sys::SplitPath parts = rk::sys::split_path(rk::sys::own_image_path());
    return parts;
}

std::wstring app_parts(unsigned parts) {
    const auto& split = own_image_parts();
    std::wstring out;
    if (parts & kPartDrive) out += split.drive;
    if (parts & kPartDirectory) out += split.directory;
    if (parts & kPartFileName) out += split.file_name;
    if (parts & kPartExtension) out += split.extension;
    return out;
}

BuiltInFunction app_macro(unsigned parts) {
    return [parts](const CommonReplacementsImpl&) { return app_parts(parts); };
}

BuiltInFunction folder_macro(rk::sys::KnownFolder folder) {
    return [folder](const CommonReplacementsImpl& impl) { return impl.known_folder(folder); };
}

// Built on first use (thread-safe) and read-only afterwards, shared by every
// instance.
const BuiltInTable& built_in_table() {
    static const BuiltInTable table = [] {
        using rk::sys::KnownFolder;
        BuiltInTable t;
        t.emplace(kMacroOSPlatform, [](const CommonReplacementsImpl& impl) { return impl.platform(); });
        t.emplace(kMacroAppBinary, app_macro(kPartFileName | kPartExtension));
        t.emplace(kMacroAppName, app_macro(kPartFileName));
        t.emplace(kMacroAppFolder, app_macro(kPartDrive | kPartDirectory));
        t.emplace(kMacroAppPath, app_macro(kPartDrive | kPartDirectory | kPartFileName | kPartExtension));
        for (const KnownFolder folder :
             {KnownFolder::Profile, KnownFolder::Desktop, KnownFolder::Documents,
              KnownFolder::LocalAppDataLow, KnownFolder::LocalAppData, KnownFolder::RoamingAppData,
              KnownFolder::ProgramData, KnownFolder::ProgramFiles, KnownFolder::ProgramFilesX64,
              KnownFolder::ProgramFilesX86, KnownFolder::ProgramFilesCommon,
              KnownFolder::ProgramFilesCommonX64, KnownFolder::ProgramFilesCommonX86}) {
            t.emplace(L"$(" + std::wstring(rk::sys::known_folder_name(folder)) + L")", folder_macro(folder));
        }
        return t;
    }();
    return table;
}

}  // namespace

CommonReplacements::CommonReplacements(std::shared_ptr<ShlObjAPI> shell,
                                       std::shared_ptr<WinOSVersionAPI> os)
    : impl_(std::make_shared<CommonReplacementsImpl>(std::move(shell), std::move(os))) {}

CommonReplacements::~CommonReplacements() = default;

bool CommonReplacements::Replace(std::wstring& text, const ReplacementMap& additional) {
    std::wstring work = std::move(text);
    text.clear();
    impl_->found = 0;
    impl_->replaced = 0;
    const BuiltInTable& built_in = built_in_table();
    std::size_t pos = 0;
    while (const auto match = find_macro(work, pos)) {
        ++impl_->found;
        const std::wstring_view macro = std::wstring_view(work).substr(match->position, match->length);
        std::wstring value;
        if (const auto extra = additional.find(macro); extra != additional.end()) {
            value = extra->second ? extra->second() : std::wstring();
        } else if (const auto own = built_in.find(macro); own != built_in.end()) {
            value = own->second(*impl_);
        } else {
            value = std::wstring(macro);
        }
        if (value != macro) ++impl_->replaced;
        text.append(work, pos, match->position - pos);
        text += value;
        pos = match->position + match->length;
    }
    text.append(work, pos, std::wstring::npos);
    return true;
}

bool CommonReplacements::Replace(std::wstring& text) { return Replace(text, ReplacementMap{}); }

std::pair<std::size_t, std::size_t> CommonReplacements::GetLastCounts() const {
    return {impl_->found, impl_->replaced};
}

}  // namespace DiraDoro
