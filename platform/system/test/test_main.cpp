// The main of every test program: a test never reaches the machine's own
// stores. Unless the caller names a root, the whole process runs under a
// private temporary root (RK_ROOT), which child processes inherit; tests that
// need a root of their own still make one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/system/test/temp_root.h"

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    std::unique_ptr<rk::sys::test::TempRoot> root;
    if (std::getenv("RK_ROOT") == nullptr) {
        root = std::make_unique<rk::sys::test::TempRoot>();
        // The machine's temporary folder, as a real root has it.
        std::filesystem::create_directory(root->path() / "tmp");
    }
    return RUN_ALL_TESTS();
}
