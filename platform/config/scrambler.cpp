#include "platform/config/scrambler.h"

#include <algorithm>
#include <random>

namespace DiraDoro::internal {
namespace {

constexpr std::uint64_t kKeyMix = 0x4469726144726F6FULL;  // "DiraDroo"

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

std::uint32_t get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// splitmix64 keystream seeded by the nonce.
class Keystream {
public:
    explicit Keystream(std::uint32_t nonce) : state_(kKeyMix ^ (static_cast<std::uint64_t>(nonce) * 0x9E3779B97F4A7C15ULL)) {}
    std::uint8_t next() {
        if (left_ == 0) {
            state_ += 0x9E3779B97F4A7C15ULL;
            std::uint64_t z = state_;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            block_ = z ^ (z >> 31);
            left_ = 8;
        }
        const auto b = static_cast<std::uint8_t>(block_);
        block_ >>= 8;
        --left_;
        return b;
    }

private:
    std::uint64_t state_;
    std::uint64_t block_ = 0;
    int left_ = 0;
};

std::uint32_t fnv1a(std::span<const std::uint8_t> bytes, std::uint32_t h = 2166136261u) {
    for (const std::uint8_t b : bytes) {
        h = (h ^ b) * 16777619u;
    }
    return h;
}

}  // namespace

std::vector<std::uint8_t> scramble_with_nonce(std::uint32_t tag, std::span<const std::uint8_t> data,
                                              std::uint32_t nonce) {
    std::vector<std::uint8_t> plain;
    plain.reserve(4 + data.size());
    put32(plain, tag);
    plain.insert(plain.end(), data.begin(), data.end());

    std::vector<std::uint8_t> out(std::begin(kScrambleMagic), std::end(kScrambleMagic));
    put32(out, nonce);
    std::uint32_t check = fnv1a(std::span<const std::uint8_t>(out).subspan(4, 4));
    check = fnv1a(plain, check);
    Keystream ks(nonce);
    for (const std::uint8_t b : plain) {
        out.push_back(static_cast<std::uint8_t>(b ^ ks.next()));
    }
    put32(out, check);
    return out;
}

std::vector<std::uint8_t> scramble(std::uint32_t tag, std::span<const std::uint8_t> data) {
    // A nonce straight from the system's generator: a per-thread engine
    // would add its 5 KB of state to every thread's static storage.
    std::random_device device;
    return scramble_with_nonce(tag, data, static_cast<std::uint32_t>(device()));
}

std::optional<Unscrambled> unscramble(std::span<const std::uint8_t> stored) {
    if (stored.size() < kScrambleOverhead || !std::equal(std::begin(kScrambleMagic), std::end(kScrambleMagic), stored.begin())) {
        return std::nullopt;
    }
    const std::uint32_t nonce = get32(stored.data() + 4);
    const auto body = stored.subspan(8, stored.size() - kScrambleOverhead + 4);
    std::vector<std::uint8_t> plain;
    plain.reserve(body.size());
    Keystream ks(nonce);
    for (const std::uint8_t b : body) {
        plain.push_back(static_cast<std::uint8_t>(b ^ ks.next()));
    }
    std::uint32_t check = fnv1a(stored.subspan(4, 4));
    check = fnv1a(plain, check);
    if (check != get32(stored.data() + stored.size() - 4)) {
        return std::nullopt;
    }
    Unscrambled out;
    out.tag = get32(plain.data());
    out.data.assign(plain.begin() + 4, plain.end());
    return out;
}

}  // namespace DiraDoro::internal
