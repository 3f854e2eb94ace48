#include "tools/rkctl/reg_exporter.h"

#include <utility>

#include "tools/rkctl/reg_key_handle.h"
#include "tools/rkctl/reg_key_name.h"

namespace rk::ctl {
namespace {

using namespace sys::reg;

constexpr LONG kNoMoreItems = static_cast<LONG>(win::kErrorNoMoreItems);
constexpr LONG kMoreData = static_cast<LONG>(win::kErrorMoreData);

LONG read_values(HKEY key, std::vector<regfile::RegValue>& out) {
    DWORD max_data = 0;
    if (const LONG err = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, &max_data, nullptr, nullptr);
        err != 0) {
        return err;
    }
    std::vector<wchar_t> name(kMaxValueNameLength + 2);
    std::vector<BYTE> data(max_data + 1);
    for (DWORD index = 0;;) {
        DWORD name_chars = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG err = RegEnumValueW(key, index, name.data(), &name_chars, nullptr, &type, data.data(), &size);
        if (err == kNoMoreItems) return 0;
        if (err == kMoreData) {  // the value grew since the size was taken
            data.resize(static_cast<std::size_t>(size) + 1);
            continue;
        }
        if (err != 0) return err;
        regfile::RegValue value;
        value.name.assign(name.data(), name_chars);
        value.type = type;
        value.data.assign(data.begin(), data.begin() + size);
        out.push_back(std::move(value));
        ++index;
    }
}

LONG read_subkey_names(HKEY key, std::vector<std::wstring>& out) {
    std::vector<wchar_t> name(kMaxKeyNameLength * 2 + 2);
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        const LONG err = RegEnumKeyExW(key, index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
        if (err == kNoMoreItems) return 0;
        if (err != 0) return err;
        out.emplace_back(name.data(), chars);
    }
}

}  // namespace

LONG RegExporter::read_key(const regfile::KeyName& name, regfile::RegKey& out,
                           std::vector<std::wstring>* subkeys) const {
    RegKeyHandle key;
    const std::wstring path = name.path;
    if (const LONG err = RegOpenKeyExW(root_key(name.root), path.c_str(), 0, KEY_READ | view_, key.put());
        err != 0) {
        return err;
    }
    out.root = name.root;
    out.path = name.path;
    out.remove = false;
    out.values.clear();
    if (const LONG err = read_values(key.get(), out.values); err != 0) return err;
    return subkeys ? read_subkey_names(key.get(), *subkeys) : 0;
}

LONG RegExporter::read_tree(const regfile::KeyName& name, regfile::RegFile& out) const {
    // Depth-first with an explicit stack: the store does not bound nesting.
    std::vector<regfile::KeyName> pending{name};
    while (!pending.empty()) {
        const regfile::KeyName current = std::move(pending.back());
        pending.pop_back();
        regfile::RegKey key;
        std::vector<std::wstring> children;
        if (const LONG err = read_key(current, key, &children); err != 0) return err;
        out.keys.push_back(std::move(key));
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            pending.push_back({current.root, current.path.empty() ? *it : current.path + L"\\" + *it});
        }
    }
    return 0;
}

}  // namespace rk::ctl
