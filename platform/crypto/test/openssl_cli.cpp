#include "platform/crypto/test/openssl_cli.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace rk::test {

OpensslCli::OpensslCli() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rk-openssl-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = pattern;
}

OpensslCli::~OpensslCli() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

bool OpensslCli::available() { return std::system("openssl version >/dev/null 2>&1") == 0; }

void OpensslCli::write(std::string_view name, std::span<const std::uint8_t> bytes) const {
    std::ofstream out(path(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void OpensslCli::write(std::string_view name, std::string_view text) const {
    std::ofstream out(path(name), std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::vector<std::uint8_t> OpensslCli::read(std::string_view name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int OpensslCli::run(const std::string& args) const {
    const std::string command = "cd '" + dir_.string() + "' && openssl " + args + " >out 2>err";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace rk::test
