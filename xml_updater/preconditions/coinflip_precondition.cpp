#include "xml_updater/preconditions/coinflip_precondition.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "platform/system/random.h"
#include "platform/text/numeric.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/preconditions/precondition_operands.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {

constexpr wchar_t kFile[] = L"coinflip_precondition.cpp";
constexpr wchar_t kFunction[] = L"CCoinflipPrecondition::CheckCoinFlipImpl";
// The Windows runtime's rand() yields 15 bits.
constexpr std::uint32_t kRuntimeRandomMask = 0x7FFF;
constexpr std::int64_t kPercent = 100;

// The fallback generator is seeded once per process with the product of the
// milliseconds since start-up and the seconds since 1970.
void seed_runtime_random() {
    static std::once_flag seeded;
    std::call_once(seeded, [] {
        const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
        std::srand(static_cast<unsigned>(static_cast<std::uint64_t>(ticks) *
                                         static_cast<std::uint64_t>(std::time(nullptr))));
    });
}

}  // namespace

CCoinflipPrecondition::CCoinflipPrecondition() : source_(&CCoinflipPrecondition::SystemRandom) {}

std::optional<std::uint32_t> CCoinflipPrecondition::SystemRandom() {
    std::array<std::uint8_t, 4> bytes{};
    if (rk::sys::random_bytes(bytes) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

bool CCoinflipPrecondition::IsPreconditionSatisfied(const AttributeMap& attributes,
                                                    CSubstitutionManager* substitutions, AttributeMap& arguments) {
    if (!read_operands(attributes, substitutions, {kAttrCompare, kAttrValue}, arguments,
                       L"CCoinflipPrecondition::IsPreconditionSatisfied")) {
        return false;
    }
    const std::wstring& op = operand(arguments, kAttrCompare);
    const std::wstring& value_text = operand(arguments, kAttrValue);
    const auto value = rk::text::wcstoll_like(value_text, 10);
    if (value.consumed == 0 || value.out_of_range) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgCoinflipConvert, value_text);
        return false;
    }
    if (value.value == 0) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgCoinflipZero);
        return false;
    }
    seed_runtime_random();
    std::optional<std::uint32_t> draw = source_ ? source_() : std::nullopt;
    if (!draw) {
        draw = static_cast<std::uint32_t>(std::rand()) & kRuntimeRandomMask;
    }
    const auto r = static_cast<std::int64_t>(*draw);
    if (op == kOpMod) {
        return r % value.value == 0;
    }
    if (op == kOpPercentage) {
        return (r % kPercent) + 1 <= value.value;
    }
    XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgUnknownOperator, op);
    return false;
}

}  // namespace XMLUpdater::v2
