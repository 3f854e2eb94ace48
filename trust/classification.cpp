#include "trust/classification.h"

namespace rk::trust {

std::string flag_tags(std::uint64_t flags) {
    static constexpr const char* kTags[] = {"[embedded_signed]", "[catalog_signed]", "[chained]",
                                            "[is_corvane]",      "[is_microsoft]",   "[is_whql]",
                                            "[hash_whitelisted]", "[hash_blacklisted]"};
    std::string tags;
    for (unsigned bit = 0; bit < 8; ++bit) {
        if ((flags & (std::uint64_t{1} << bit)) != 0) {
            tags += kTags[bit];
        }
    }
    return tags;
}

}  // namespace rk::trust
