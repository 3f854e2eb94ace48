#include "tools/rkctl/reg_key_name.h"

#include "platform/errors/message_table.h"
#include "platform/text/format.h"
#include "platform/text/strings.h"

namespace rk::ctl {
namespace {

struct ShortRoot {
    std::wstring_view abbreviation;
    std::wstring_view root;
};
constexpr ShortRoot kShortRoots[] = {
    {L"HKLM", regfile::kHkeyLocalMachine}, {L"HKCU", regfile::kHkeyCurrentUser},
    {L"HKCR", regfile::kHkeyClassesRoot},  {L"HKU", regfile::kHkeyUsers},
    {L"HKCC", regfile::kHkeyCurrentConfig},
};

constexpr std::size_t kMessageBufferChars = 512;

}  // namespace

std::optional<regfile::KeyName> parse_key_argument(std::wstring_view text, std::wstring* error) {
    const std::size_t slash = text.find(L'\\');
    const std::wstring_view root = text.substr(0, slash);
    for (const auto& s : kShortRoots) {
        if (text::iequals(root, s.abbreviation)) {
            std::wstring expanded(s.root);
            if (slash != std::wstring_view::npos) expanded += text.substr(slash);
            return regfile::split_key_name(expanded, error);
        }
    }
    return regfile::split_key_name(text, error);
}

sys::reg::HKEY root_key(const std::wstring& root) {
    using namespace sys::reg;
    if (root == regfile::kHkeyLocalMachine) return HKEY_LOCAL_MACHINE;
    if (root == regfile::kHkeyCurrentUser) return HKEY_CURRENT_USER;
    if (root == regfile::kHkeyClassesRoot) return HKEY_CLASSES_ROOT;
    if (root == regfile::kHkeyUsers) return HKEY_USERS;
    if (root == regfile::kHkeyCurrentConfig) return HKEY_CURRENT_CONFIG;
    return nullptr;
}

std::wstring full_key_name(const regfile::KeyName& name) {
    return name.path.empty() ? name.root : name.root + L"\\" + name.path;
}

std::wstring error_text(LONG error) {
    const auto code = static_cast<DWORD>(error);
    const auto message = win::format_message(win::MessageTable::kSystem, code, kMessageBufferChars);
    return message ? text::format(L"%ls (%lu)", *message, code) : text::format(L"error %lu", code);
}

}  // namespace rk::ctl
