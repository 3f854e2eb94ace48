// Linked into every test, fuzz and benchmark program: none of them may reach
// the machine's own stores, even when run by hand. Unless the caller names a
// root, the whole process runs under a private temporary root (RK_ROOT) with
// a `tmp` folder, as a real root has; child processes inherit it, and it is
// removed at a normal exit. Programs that need a root of their own still make
// one.
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/system/test/temp_root.h"

namespace {

struct PrivateRoot {
    PrivateRoot() {
        if (std::getenv("RK_ROOT") == nullptr) {
            root = std::make_unique<rk::sys::test::TempRoot>();
            std::error_code ec;
            std::filesystem::create_directory(root->path() / "tmp", ec);
        }
    }
    std::unique_ptr<rk::sys::test::TempRoot> root;
};

const PrivateRoot private_root;

}  // namespace
