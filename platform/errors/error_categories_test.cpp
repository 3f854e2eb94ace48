#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/errors/bin_json_error_category.h"
#include "platform/errors/cab_error_category.h"
#include "platform/errors/message_table.h"
#include "platform/errors/nt_error_category.h"
#include "platform/errors/reg_error_condition_category.h"
#include "platform/errors/time_utils_error_category.h"
#include "platform/errors/wbem_error_category.h"
#include "platform/errors/win_error.h"
#include "platform/errors/windows_error_category.h"
#include "platform/errors/winhttp_error_category.h"

namespace dira_doro {
namespace {

constexpr int code_of(std::uint32_t value) { return static_cast<int>(value); }

struct MessageCase {
    const std::error_category& category;
    int code;
    std::string expected;
};

void expect_messages(std::initializer_list<MessageCase> cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(c.category.message(c.code), c.expected) << c.category.name() << " code 0x" << std::hex << c.code;
    }
}

TEST(ErrorCategoryTest, Win32ReadsTheSystemTableAndRoutesNtStatusCodes) {
    expect_messages({
        {win32_category(), 0, "The operation completed successfully."},
        {win32_category(), 2, "The system cannot find the file specified."},
        {win32_category(), 5, "Access is denied."},
        {win32_category(), 87, "The parameter is incorrect."},
        {win32_category(), 183, "Cannot create a file when that file already exists."},
        {win32_category(), 1627, "Function failed during execution."},
        // Inserts are not expanded.
        {win32_category(), 193, "%1 is not a valid Win32 application."},
        // HRESULTs of the Win32 facility read as the error they carry.
        {win32_category(), code_of(0x80070005u), "Access is denied."},
        {win32_category(), rk::win::kHrRpcSServerUnavailable, "The RPC server is unavailable."},
        {win32_category(), rk::win::kEFail, "Unspecified error"},
        // The logging library's own numbers have no system text.
        {win32_category(), 20001, "unknown"},
        {win32_category(), 12002, "unknown"},
        {win32_category(), -1, "unknown"},
        // NT-facility bit: the NTSTATUS under it, through the ntdll table.
        {win32_category(), code_of(0xD0000034u), "Object Name not found."},
        {win32_category(), rk::win::hresult_from_nt(rk::win::kStatusKeyDeleted),
         "Illegal operation attempted on a registry key which has been marked for deletion."},
        {win32_category(), code_of(0x10000002u), "unknown"},
        {win32_category(), code_of(0xDEADBEEFu), "unknown"},
    });
}

TEST(ErrorCategoryTest, NtStatusReadsTheNtdllTable) {
    expect_messages({
        {ntstatus_category(), rk::win::kStatusObjectNameNotFound, "Object Name not found."},
        {ntstatus_category(), rk::win::kStatusInvalidParameter,
         "An invalid parameter was passed to a service or function."},
        {ntstatus_category(), rk::win::kStatusUnsuccessful,
         "{Operation Failed}\r\nThe requested operation was unsuccessful."},
        {ntstatus_category(), rk::win::kStatusInvalidSignature, "The cryptographic signature is invalid."},
        // Win32 numbers are not NT statuses, and the bit is not stripped here.
        {ntstatus_category(), 2, "unknown"},
        {ntstatus_category(), code_of(0xD0000034u), "unknown"},
    });
}

TEST(ErrorCategoryTest, WinHttpReadsTheWinHttpTable) {
    expect_messages({
        {winhttp_category(), 12002, "The operation timed out"},
        {winhttp_category(), 12007, "The server name or address could not be resolved"},
        {winhttp_category(), 12029, "A connection with the server could not be established"},
        {winhttp_category(), 12030, "The connection with the server was terminated abnormally"},
        {winhttp_category(), 12175, "A security error occurred"},
        {winhttp_category(), 2, "unknown"},
        {winhttp_category(), 12999, "unknown"},
    });
}

TEST(ErrorCategoryTest, WmiStatusCodesUseTheWmiTextsAndOthersPassToWin32) {
    expect_messages({
        {wbem_category(), code_of(0x80041001u), "Generic failure"},
        {wbem_category(), code_of(0x80041002u), "Not found"},
        {wbem_category(), code_of(0x80041017u), "Invalid query"},
        // In the WMI range without a WMI text: win32's rule.
        {wbem_category(), code_of(0x80044FFFu), "unknown"},
        // Outside the range.
        {wbem_category(), 5, "Access is denied."},
        {wbem_category(), code_of(0x80070005u), "Access is denied."},
        {wbem_category(), code_of(0x80040FFFu), "unknown"},
        {wbem_category(), code_of(0xD0000034u), "Object Name not found."},
    });
    EXPECT_FALSE(is_wmi_status_code(static_cast<rk::HRESULT>(0x80040FFFu)));
    EXPECT_TRUE(is_wmi_status_code(static_cast<rk::HRESULT>(0x80041000u)));
    EXPECT_TRUE(is_wmi_status_code(static_cast<rk::HRESULT>(0x80044FFFu)));
    EXPECT_FALSE(is_wmi_status_code(static_cast<rk::HRESULT>(0x80045000u)));
}

TEST(ErrorCategoryTest, SmallTablesReadTheirTextsAndUnknownOtherwise) {
    expect_messages({
        {registry_category(), 0, "none"},
        {registry_category(), 1, "not_found"},
        {registry_category(), 2, "deleted"},
        {registry_category(), 3, "invalid"},
        {registry_category(), -1, "invalid"},
        {bin_json_category(), 0, "unknown"},
        {bin_json_category(), 1, "invalid type"},
        {bin_json_category(), 2, "data corrupted"},
        {bin_json_category(), 3, "not supported"},
        {bin_json_category(), 4, "unknown"},
        {cab_category(), 0, "FDIERROR_NONE"},
        {cab_category(), 1, "FDIERROR_CABINET_NOT_FOUND"},
        {cab_category(), 2, "FDIERROR_NOT_A_CABINET"},
        {cab_category(), 3, "FDIERROR_UNKNOWN_CABINET_VERSION"},
        {cab_category(), 4, "FDIERROR_CORRUPT_CABINET"},
        {cab_category(), 5, "FDIERROR_ALLOC_FAIL"},
        {cab_category(), 6, "FDIERROR_BAD_COMPR_TYPE"},
        {cab_category(), 7, "FDIERROR_MDI_FAIL"},
        {cab_category(), 8, "FDIERROR_TARGET_FILE"},
        {cab_category(), 9, "FDIERROR_RESERVE_MISMATCH"},
        {cab_category(), 10, "FDIERROR_WRONG_CABINET"},
        {cab_category(), 11, "FDIERROR_USER_ABORT"},
        {cab_category(), 12, "FDIERROR_EOF"},
        {cab_category(), 13, "unknown"},
        {cab_category(), -1, "unknown"},
        {time_utils_category(), 0, "unknown"},
        {time_utils_category(), 1, "date must include at least 'yyyy-MM-dd'"},
        {time_utils_category(), 2, "date part must be in format 'yyyy-MM-dd'"},
        {time_utils_category(), 3, "date year is not numeric"},
        {time_utils_category(), 4, "date month is not numeric"},
        {time_utils_category(), 5, "date day is not numeric"},
        {time_utils_category(), 6, "incomplete date, expected 'yyyy-MM-ddTHH:mm:ss'"},
        {time_utils_category(), 7, "date must be in format 'yyyy-MM-ddTHH:mm:ss'"},
        {time_utils_category(), 8, "time hour is not numeric"},
        {time_utils_category(), 9, "time minute is not numeric"},
        {time_utils_category(), 10, "time second is not numeric"},
        {time_utils_category(), 11, "time millisecond is not numeric"},
        {time_utils_category(), 12, "unknown"},
    });
}

TEST(ErrorCategoryTest, RegistryConditionsMatchOnlyTheirNtStatusCodes) {
    struct Case {
        std::error_code code;
        bool none;
        bool not_found;
        bool deleted;
    };
    const Case cases[] = {
        {make_nt_error_code(rk::win::kStatusObjectNameNotFound), false, true, false},
        {make_nt_error_code(rk::win::kStatusKeyDeleted), false, true, true},
        // Through win32 with the NT-facility bit.
        {make_win32_error_code(static_cast<rk::DWORD>(rk::win::hresult_from_nt(rk::win::kStatusKeyDeleted))), false,
         true, true},
        // The same numbers in other categories are not NT statuses.
        {std::error_code(static_cast<int>(0xC000017Cu), winhttp_category()), false, false, false},
        {make_win32_error_code(static_cast<rk::DWORD>(rk::win::kStatusKeyDeleted)), false, false, false},
        // Win32 "file not found" and "key deleted" are not registry conditions.
        {make_win32_error_code(rk::win::kErrorFileNotFound), false, false, false},
        {make_win32_error_code(rk::win::kErrorKeyDeleted), false, false, false},
        {make_nt_error_code(rk::win::kStatusNotFound), false, false, false},
        {std::error_code(), true, false, false},
        {make_nt_error_code(rk::win::kStatusSuccess), true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code.category().name() + std::string(":") + std::to_string(c.code.value()));
        EXPECT_EQ(c.code == RegErrorCondition::none, c.none);
        EXPECT_EQ(c.code == RegErrorCondition::not_found, c.not_found);
        EXPECT_EQ(c.code == RegErrorCondition::deleted, c.deleted);
    }
    const std::error_condition invalid(7, registry_category());
    EXPECT_FALSE(make_nt_error_code(rk::win::kStatusKeyDeleted) == invalid);
    EXPECT_EQ(std::error_condition(RegErrorCondition::deleted).message(), "deleted");
}

// A thread still winding down while the process exits may describe an error
// after static destructors have run: the categories must still be there. The
// sanitizer build clears a destroyed object's vtable pointer, so that is where
// a category destroyed too early shows.
void describe_every_category() {
    for (const std::error_category* category :
         {&win32_category(), &ntstatus_category(), &winhttp_category(), &wbem_category(), &registry_category(),
          &bin_json_category(), &cab_category(), &time_utils_category()}) {
        if (category->message(5).empty() || *category->name() == '\0') std::_Exit(3);
    }
}

TEST(ErrorCategoryDeathTest, CategoriesOutliveStaticDestructors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: no category built yet
    EXPECT_EXIT(
        {
            std::atexit(describe_every_category);  // runs after every destructor registered below
            describe_every_category();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(MessageTableTest, TextThatDoesNotFitTheBufferIsNotReturned) {
    using rk::win::MessageTable;
    // "Access is denied." is 17 characters; FormatMessageW adds "\r\n" and a zero.
    EXPECT_EQ(rk::win::format_message(MessageTable::kSystem, 5, 20), L"Access is denied.");
    EXPECT_EQ(rk::win::format_message(MessageTable::kSystem, 5, 19), std::nullopt);
    EXPECT_EQ(rk::win::format_message(MessageTable::kSystem, 5, 0), std::nullopt);
}

}  // namespace
}  // namespace dira_doro
