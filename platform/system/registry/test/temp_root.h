// A temporary root prefix for tests: RK_ROOT points into a fresh folder for
// the life of the object, so every store the test touches is its own.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace rk::sys::test {

class TempRoot {
public:
    TempRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rkreg-XXXXXX").string();
        const char* made = ::mkdtemp(pattern.data());
        path_ = made != nullptr ? std::filesystem::path(made) : std::filesystem::path();
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                                std::filesystem::perms::others_exec);
        const char* old = std::getenv("RK_ROOT");
        had_old_ = old != nullptr;
        old_ = had_old_ ? old : "";
        ::setenv("RK_ROOT", path_.c_str(), 1);
    }
    ~TempRoot() {
        if (had_old_) {
            ::setenv("RK_ROOT", old_.c_str(), 1);
        } else {
            ::unsetenv("RK_ROOT");
        }
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string old_;
    bool had_old_ = false;
};

}  // namespace rk::sys::test
