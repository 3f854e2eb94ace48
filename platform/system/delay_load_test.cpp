// A delay-loaded library (SQLite here) is not part of the process until the
// program first calls into it, and the call that loads it reaches the
// function with every argument intact: registers of a variadic call
// (floating-point ones included) and arguments passed on the stack.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

namespace {

bool sqlite_in_process() {
    void* handle = ::dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) {
        ::dlclose(handle);
    }
    return handle != nullptr;
}

std::string formatted(char* text) {
    std::unique_ptr<char, decltype(&sqlite3_free)> owner(text, &sqlite3_free);
    return text != nullptr ? std::string(text) : std::string("(null)");
}

void twice(sqlite3_context* context, int, sqlite3_value** values) {
    sqlite3_result_int64(context, 2 * sqlite3_value_int64(values[0]));
}

int g_destroyed = 0;
void destroy(void*) { ++g_destroyed; }

// One test: the order of the calls is the point.
TEST(DelayLoad, LoadsAtTheFirstCallAndPassesEveryArgument) {
    ASSERT_FALSE(sqlite_in_process()) << "the program loaded SQLite at start";

    // First call, resolved on the way: variadic, integers and doubles.
    EXPECT_EQ(formatted(sqlite3_mprintf("%s|%d|%.3f|%lld|%.1f|%c", "a", 42, 2.5, 1LL << 40, -1.5, 'z')),
              "a|42|2.500|1099511627776|-1.5|z");
    EXPECT_TRUE(sqlite_in_process());
    // Resolved: the same function called again.
    EXPECT_EQ(formatted(sqlite3_mprintf("%d-%.2f", 7, 0.5)), "7-0.50");

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    // Nine arguments, the last three on the stack, on the call that resolves it.
    ASSERT_EQ(sqlite3_create_function_v2(db, "twice", 1, SQLITE_UTF8, nullptr, &twice, nullptr, nullptr, &destroy),
              SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT twice(21)", -1, &statement, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int64(statement, 0), 42);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    EXPECT_EQ(g_destroyed, 1);
}

}  // namespace
