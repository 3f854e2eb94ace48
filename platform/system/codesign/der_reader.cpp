#include "platform/system/codesign/der_reader.h"

namespace rk::sys::codesign {

std::optional<DerElement> read_der(std::span<const std::uint8_t> in) {
    if (in.size() < 2) {
        return std::nullopt;
    }
    const std::uint8_t tag = in[0];
    if ((tag & 0x1F) == 0x1F) {
        return std::nullopt;  // multi-octet tag numbers do not occur in what we read
    }
    std::size_t header = 2;
    std::uint64_t length = in[1];
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        if (count == 0 || count > 4 || in.size() < 2 + count) {
            return std::nullopt;  // indefinite or absurd lengths
        }
        length = 0;
        for (std::size_t i = 0; i < count; ++i) {
            length = (length << 8) | in[2 + i];
        }
        header += count;
    }
    if (length > in.size() - header) {
        return std::nullopt;
    }
    DerElement e;
    e.tag = tag;
    e.whole = in.subspan(0, header + static_cast<std::size_t>(length));
    e.contents = in.subspan(header, static_cast<std::size_t>(length));
    return e;
}

std::optional<DerElement> DerCursor::next_any() {
    auto e = read_der(rest_);
    if (e) {
        rest_ = rest_.subspan(e->whole.size());
    }
    return e;
}

std::optional<DerElement> DerCursor::next(std::uint8_t tag) {
    auto e = read_der(rest_);
    if (!e || e->tag != tag) {
        return std::nullopt;
    }
    rest_ = rest_.subspan(e->whole.size());
    return e;
}

}  // namespace rk::sys::codesign
