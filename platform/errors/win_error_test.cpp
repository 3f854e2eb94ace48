#include "platform/errors/win_error.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace rk::win {
namespace {

constexpr std::uint32_t bits(std::int32_t v) { return static_cast<std::uint32_t>(v); }

TEST(WinErrorTest, HresultFromWin32FollowsTheWindowsMacro) {
    struct Case {
        DWORD error;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {kErrorSuccess, 0},
        {kErrorFileNotFound, 0x80070002u},
        {kErrorAccessDenied, 0x80070005u},
        {kErrorInvalidParameter, 0x80070057u},
        {kRpcSServerUnavailable, 0x800706BAu},
        {kWinHttpErrorTimeout, 0x80072EE2u},
        // Already an HRESULT: kept as it is.
        {0x80004005u, 0x80004005u},
        // Only the low 16 bits of a large positive number survive.
        {0x00012345u, 0x80072345u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bits(hresult_from_win32(c.error)), c.expected) << c.error;
    }
    EXPECT_EQ(hresult_from_win32(kErrorAccessDenied), kEAccessDenied);
    EXPECT_EQ(hresult_from_win32(kErrorInvalidParameter), kEInvalidArg);
    EXPECT_EQ(hresult_from_win32(kErrorOutOfMemory), kEOutOfMemory);
    EXPECT_EQ(hresult_from_win32(kRpcSServerUnavailable), kHrRpcSServerUnavailable);
}

TEST(WinErrorTest, HresultFromNtSetsTheFacilityBit) {
    EXPECT_EQ(bits(hresult_from_nt(kStatusObjectNameNotFound)), 0xD0000034u);
    EXPECT_EQ(bits(hresult_from_nt(kStatusSuccess)), 0x10000000u);
}

TEST(WinErrorTest, SuccessPredicatesLookAtTheSeverityBitOnly) {
    struct Case {
        std::int32_t value;
        bool success;
    };
    const Case cases[] = {
        {kSOk, true},
        {kSFalse, true},
        {0x00040001, true},
        {kEFail, false},
        {kInetEResourceNotFound, false},
        {kStatusKeyDeleted, false},
        {static_cast<std::int32_t>(0x80000000u), false},
        {0x7FFFFFFF, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(succeeded(c.value), c.success) << c.value;
        EXPECT_EQ(failed(c.value), !c.success) << c.value;
        EXPECT_EQ(nt_success(c.value), c.success) << c.value;
    }
}

TEST(WinErrorTest, FacilityAndCodeOfAnHresult) {
    EXPECT_EQ(hresult_facility(kEAccessDenied), kFacilityWin32);
    EXPECT_EQ(hresult_code(kEAccessDenied), kErrorAccessDenied);
    EXPECT_EQ(hresult_facility(static_cast<HRESULT>(0x80041002u)), kFacilityItf);
    EXPECT_EQ(hresult_code(kHrRpcSServerUnavailable), kRpcSServerUnavailable);
}

}  // namespace
}  // namespace rk::win
