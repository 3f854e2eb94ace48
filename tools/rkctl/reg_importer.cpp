#include "tools/rkctl/reg_importer.h"

#include <functional>

#include "platform/text/format.h"
#include "tools/rkctl/reg_key_handle.h"
#include "tools/rkctl/reg_key_name.h"

namespace rk::ctl {
namespace {

using namespace sys::reg;

static_assert(regfile::kRegNone == REG_NONE && regfile::kRegSz == REG_SZ &&
              regfile::kRegExpandSz == REG_EXPAND_SZ && regfile::kRegBinary == REG_BINARY &&
              regfile::kRegDword == REG_DWORD && regfile::kRegMultiSz == REG_MULTI_SZ &&
              regfile::kRegQword == REG_QWORD);
static_assert(regfile::kMaxKeyNameComponent == kMaxKeyNameLength &&
              regfile::kMaxValueName == kMaxValueNameLength);

constexpr LONG kNotFound = static_cast<LONG>(win::kErrorFileNotFound);

}  // namespace

LONG RegImporter::apply(const regfile::RegFile& file, ImportFailure& failure) const {
    bool machine = false;
    bool user = false;
    for (const auto& key : file.keys) {
        (key.root == regfile::kHkeyCurrentUser ? user : machine) = true;
    }
    std::function<LONG()> body = [&] { return apply_all(file, failure); };
    if (user) {
        body = [inner = std::move(body)] { return run_in_transaction(HKEY_CURRENT_USER, inner); };
    }
    if (machine) {
        body = [inner = std::move(body)] { return run_in_transaction(HKEY_LOCAL_MACHINE, inner); };
    }
    const LONG err = body();
    if (err != 0 && failure.message.empty()) {
        failure = {0, L"the registry refused the changes: " + error_text(err)};
    }
    return err;
}

LONG RegImporter::apply_all(const regfile::RegFile& file, ImportFailure& failure) const {
    for (const auto& key : file.keys) {
        if (const LONG err = apply_key(key, failure); err != 0) return err;
    }
    return 0;
}

LONG RegImporter::delete_tree(const regfile::RegKey& key) const {
    {
        RegKeyHandle handle;
        const LONG err = RegOpenKeyExW(root_key(key.root), key.path.c_str(), 0, KEY_ALL_ACCESS | view_, handle.put());
        if (err == kNotFound) return 0;
        if (err != 0) return err;
        if (const LONG tree = RegDeleteTreeW(handle.get(), nullptr); tree != 0) return tree;
    }
    return RegDeleteKeyExW(root_key(key.root), key.path.c_str(), view_, 0);
}

LONG RegImporter::apply_key(const regfile::RegKey& key, ImportFailure& failure) const {
    const std::wstring name = key.full_name();
    if (key.remove) {
        const LONG err = delete_tree(key);
        if (err != 0) failure = {key.line, text::format(L"cannot delete key %ls: %ls", name, error_text(err))};
        return err;
    }
    RegKeyHandle handle;
    if (const LONG err = RegCreateKeyExW(root_key(key.root), key.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_ALL_ACCESS | view_, nullptr, handle.put(), nullptr);
        err != 0) {
        failure = {key.line, text::format(L"cannot create key %ls: %ls", name, error_text(err))};
        return err;
    }
    for (const auto& value : key.values) {
        const std::wstring shown = value.name.empty() ? std::wstring(L"@") : L"\"" + value.name + L"\"";
        if (value.remove) {
            const LONG err = RegDeleteValueW(handle.get(), value.name.c_str());
            if (err != 0 && err != kNotFound) {
                failure = {value.line, text::format(L"cannot delete value %ls of %ls: %ls", shown, name, error_text(err))};
                return err;
            }
            continue;
        }
        const LONG err = RegSetValueExW(handle.get(), value.name.c_str(), 0, value.type,
                                        value.data.empty() ? nullptr : value.data.data(),
                                        static_cast<DWORD>(value.data.size()));
        if (err != 0) {
            failure = {value.line, text::format(L"cannot set value %ls of %ls: %ls", shown, name, error_text(err))};
            return err;
        }
    }
    return 0;
}

}  // namespace rk::ctl
