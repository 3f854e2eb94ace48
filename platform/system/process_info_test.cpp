#include "platform/system/process_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

namespace rk::sys {
namespace {

TEST(ProcessInfo, IdentifiesProcessThreadAndImage) {
    EXPECT_EQ(current_process_id(), static_cast<DWORD>(::getpid()));
    // The main thread's id is the process id on Linux; other threads differ.
    DWORD other = 0;
    std::thread([&] { other = current_thread_id(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, current_thread_id());

    const std::filesystem::path image(own_image_path());
    EXPECT_TRUE(image.is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(image, "/proc/self/exe"));
}

}  // namespace
}  // namespace rk::sys
