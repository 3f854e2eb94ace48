// Runs the openssl command line in a child process for cross-checks, inside
// a private temporary folder that is removed afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rk::test {

class OpensslCli {
public:
    OpensslCli();
    ~OpensslCli();
    OpensslCli(const OpensslCli&) = delete;
    OpensslCli& operator=(const OpensslCli&) = delete;

    static bool available();

    // A file in the folder.
    std::filesystem::path path(std::string_view name) const { return dir_ / name; }
    void write(std::string_view name, std::span<const std::uint8_t> bytes) const;
    void write(std::string_view name, std::string_view text) const;
    std::vector<std::uint8_t> read(std::string_view name) const;

    // Runs "openssl ARGS" in the folder (stdout and stderr to files "out"
    // and "err"); returns the exit code.
    int run(const std::string& args) const;

private:
    std::filesystem::path dir_;
};

}  // namespace rk::test
