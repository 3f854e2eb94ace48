// Helper process for the registry tests (a real second process on the same
// stores). Commands:
//   write <subkey> <prefix> <count>   sets <count> REG_DWORD values under HKLM
//   set <subkey> <name> <text>        sets one REG_SZ value under HKLM
//   delete <subkey>                   removes the key's tree under HKLM
//   drop-privileges-create <subkey>   as user "nobody": RegCreateKeyExW result
//   write-big <subkey> <count>        sets <count> 64 KiB REG_BINARY values "big<i>",
//                                     every byte (i & 0xFF), until killed
// Exit code: the last registry error number (0 success), 100 on bad usage.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/system/registry/registry.h"
#include "platform/text/utf.h"

using namespace rk::sys::reg;
using rk::DWORD;

namespace {

std::wstring wide(const char* s) { return rk::text::utf8_to_wide(s); }

int open_key(const char* sub, HKEY& key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                           nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return 100;
    }
    const std::string cmd = argv[1];
    HKEY key = nullptr;
    if (cmd == "write" && argc == 5) {
        if (const int err = open_key(argv[2], key); err != 0) {
            return err;
        }
        const int count = std::stoi(argv[4]);
        for (int i = 0; i < count; ++i) {
            const std::wstring name = wide(argv[3]) + std::to_wstring(i);
            const DWORD v = static_cast<DWORD>(i);
            if (const int err = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
                err != 0) {
                std::fprintf(stderr, "set %d failed: %d\n", i, err);
                return err;
            }
        }
        return RegCloseKey(key);
    }
    if (cmd == "set" && argc == 5) {
        if (const int err = open_key(argv[2], key); err != 0) {
            return err;
        }
        const auto data = rk::text::wide_to_utf16le(wide(argv[4]) + L'\0');
        const int err = RegSetValueExW(key, wide(argv[3]).c_str(), 0, REG_SZ, data.data(),
                                       static_cast<DWORD>(data.size()));
        RegCloseKey(key);
        return err;
    }
    if (cmd == "write-big" && argc == 4) {
        if (const int err = open_key(argv[2], key); err != 0) {
            return err;
        }
        const int count = std::stoi(argv[3]);
        std::vector<BYTE> data(65536);
        for (int i = 0; i < count; ++i) {
            std::fill(data.begin(), data.end(), static_cast<BYTE>(i & 0xFF));
            const std::wstring name = L"big" + std::to_wstring(i);
            if (const int err = RegSetValueExW(key, name.c_str(), 0, REG_BINARY, data.data(),
                                               static_cast<DWORD>(data.size()));
                err != 0) {
                return err;
            }
        }
        return RegCloseKey(key);
    }
    if (cmd == "delete" && argc == 3) {
        return RegDeleteTreeW(HKEY_LOCAL_MACHINE, wide(argv[2]).c_str());
    }
    if (cmd == "drop-privileges-create" && argc == 3) {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
            return 101;
        }
        const int err = open_key(argv[2], key);
        if (err == 0) {
            RegCloseKey(key);
        }
        return err;
    }
    return 100;
}
