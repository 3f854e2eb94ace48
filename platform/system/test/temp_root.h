// Test helpers: a temporary root prefix and scoped environment variables.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

namespace rk::sys::test {

// Sets an environment variable (or unsets it for nullopt) and restores the
// previous state on destruction.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
        if (const char* old = ::getenv(name_.c_str())) {
            old_ = old;
        }
        set(value);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { set(old_); }

private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

    std::string name_;
    std::optional<std::string> old_;
};

// A fresh folder under the real temporary folder, made the root prefix
// (RK_ROOT) for the object's life and removed afterwards.
class TempRoot {
public:
    TempRoot() : path_(make()), env_("RK_ROOT", path_.native()) {}
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;
    ~TempRoot() {
        std::error_code ec;
        // Tests may leave read-only folders behind; open them up first.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
            }
        }
        std::filesystem::remove_all(path_, ec);
    }

    const std::filesystem::path& path() const { return path_; }

private:
    static std::filesystem::path make() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rk-root-XXXXXX").native();
        if (::mkdtemp(pattern.data()) == nullptr) {
            return {};
        }
        return pattern;
    }

    std::filesystem::path path_;
    ScopedEnv env_;
};

}  // namespace rk::sys::test
