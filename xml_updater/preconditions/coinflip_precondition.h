// CF: a random draw. "MOD": one chance in Value (r % Value == 0);
// "PERCENTAGE": Value percent ((r % 100) + 1 <= Value). r comes from the
// platform's cryptographic source, or, when that fails, from the C
// runtime's generator (15 bits, seeded once per process).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CCoinflipPrecondition final : public IPrecondition, public CPreconditionFactorySupport<CCoinflipPrecondition> {
public:
    // One 32-bit draw; nullopt when the source fails.
    using RandomSource = std::function<std::optional<std::uint32_t>()>;

    CCoinflipPrecondition();
    explicit CCoinflipPrecondition(RandomSource source) : source_(std::move(source)) {}

    bool IsPreconditionSatisfied(const AttributeMap& attributes, CSubstitutionManager* substitutions,
                                 AttributeMap& arguments) override;

    // The cryptographic source of the platform.
    static std::optional<std::uint32_t> SystemRandom();

private:
    RandomSource source_;
};

}  // namespace XMLUpdater::v2
