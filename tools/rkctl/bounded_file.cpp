#include "tools/rkctl/bounded_file.h"

#include <fstream>
#include <system_error>

namespace rk::ctl {

BoundedRead open_bounded_file(const std::filesystem::path& path, std::uintmax_t limit, std::ifstream& in,
                              std::uintmax_t& size) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return BoundedRead::kCannotRead;
    }
    size = std::filesystem::file_size(path, ec);
    if (ec) {
        return BoundedRead::kCannotRead;
    }
    if (size > limit) {
        return BoundedRead::kTooLarge;
    }
    in.open(path, std::ios::binary);
    return in ? BoundedRead::kOk : BoundedRead::kCannotRead;
}

namespace {

template <typename Bytes>
BoundedRead read_whole(const std::filesystem::path& path, std::uintmax_t limit, Bytes& out) {
    out.clear();
    std::ifstream in;
    std::uintmax_t size = 0;
    if (const BoundedRead opened = open_bounded_file(path, limit, in, size); opened != BoundedRead::kOk) {
        return opened;
    }
    out.reserve(static_cast<std::size_t>(size) + 1);  // a parser's terminator fits without a copy
    out.resize(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!in || in.gcount() != static_cast<std::streamsize>(out.size())) {
        out.clear();
        return BoundedRead::kCannotRead;
    }
    return BoundedRead::kOk;
}

}  // namespace

BoundedRead read_bounded_file(const std::filesystem::path& path, std::uintmax_t limit, std::string& out) {
    return read_whole(path, limit, out);
}

BoundedRead read_bounded_file(const std::filesystem::path& path, std::uintmax_t limit, std::vector<std::uint8_t>& out) {
    return read_whole(path, limit, out);
}

std::string size_text(std::uintmax_t bytes) {
    if (bytes % (1u << 20) == 0) {
        return std::to_string(bytes >> 20) + " MiB";
    }
    return std::to_string(bytes) + " bytes";
}

}  // namespace rk::ctl
