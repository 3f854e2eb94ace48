// Registry cost against bare SQLite on the same store file, in one run:
//   - open + query + close of one REG_SZ value (warm: store open, pages cached),
//     through the seam and through DiraDoro::CRegKey;
//   - the same lookup as one prepared SQLite statement (key path and value
//     name to data), the floor any SQLite-backed registry stands on;
//   - one value write through the seam, and the same as a bare SQLite
//     transaction;
//   - goal pairs, timed in alternation inside one benchmark and reported as
//     a ratio: open+query+close against the bare point query (goal <= 1.5),
//     and listing a key of 200,000 values with RegEnumValueW against reading
//     them with one SQL query (goal <= 2).
// The store lives in a temporary root (RK_ROOT).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/config/reg_key.h"
#include "platform/system/registry/registry.h"
#include "platform/system/registry/registry_paths.h"
#include "platform/text/utf.h"

namespace {

namespace reg = rk::sys::reg;

constexpr const wchar_t* kKey = L"SOFTWARE\\Corvane\\Bench";
constexpr const wchar_t* kValue = L"InstallPath";
constexpr const wchar_t* kText = L"/opt/corvane/rkupdater";

class BenchRoot {
public:
    BenchRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rkreg-bench-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        ::setenv("RK_ROOT", path_.c_str(), 1);
        reg::HKEY key = nullptr;
        reg::RegCreateKeyExW(reg::HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr, &key,
                             nullptr);
        const auto data = rk::text::wide_to_utf16le(std::wstring(kText) + L'\0');
        reg::RegSetValueExW(key, kValue, 0, reg::REG_SZ, data.data(), static_cast<rk::DWORD>(data.size()));
        reg::RegCloseKey(key);
    }
    ~BenchRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    BenchRoot(const BenchRoot&) = delete;
    BenchRoot& operator=(const BenchRoot&) = delete;

private:
    std::filesystem::path path_;
};

BenchRoot& root() {
    static BenchRoot r;
    return r;
}

void BM_RegOpenQueryClose(benchmark::State& state) {
    root();
    reg::BYTE buf[256];
    for (auto _ : state) {
        reg::HKEY key = nullptr;
        reg::RegOpenKeyExW(reg::HKEY_LOCAL_MACHINE, kKey, 0, reg::KEY_READ, &key);
        rk::DWORD type = 0;
        rk::DWORD size = sizeof buf;
        const rk::LONG err = reg::RegQueryValueExW(key, kValue, nullptr, &type, buf, &size);
        reg::RegCloseKey(key);
        if (err != 0) {
            state.SkipWithError("query failed");
            break;
        }
        benchmark::DoNotOptimize(size);
    }
}
BENCHMARK(BM_RegOpenQueryClose);

void BM_CRegKeyOpenQueryClose(benchmark::State& state) {
    root();
    std::wstring value;
    for (auto _ : state) {
        DiraDoro::CRegKey key;
        key.Open(reg::HKEY_LOCAL_MACHINE, kKey, reg::KEY_READ);
        if (key.QueryStringValue(kValue, value) != 0) {
            state.SkipWithError("query failed");
            break;
        }
        key.Close();
        benchmark::DoNotOptimize(value.data());
    }
}
BENCHMARK(BM_CRegKeyOpenQueryClose);

// A connection of its own on the same store file.
struct BareStore {
    sqlite3* db = nullptr;
    sqlite3_stmt* query = nullptr;
    sqlite3_stmt* write = nullptr;
    explicit BareStore(int flags = 0) {
        sqlite3_open_v2(reg::machine_store_file().c_str(), &db, SQLITE_OPEN_READWRITE | flags, nullptr);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_prepare_v2(db,
                           "SELECT v.type, v.data FROM keys k JOIN vals v ON v.key_id = k.id"
                           " WHERE k.upath = ?1 AND v.uname = ?2",
                           -1, &query, nullptr);
        sqlite3_prepare_v2(db,
                           "UPDATE vals SET data = ?3 WHERE uname = ?2 AND key_id ="
                           " (SELECT id FROM keys WHERE upath = ?1)",
                           -1, &write, nullptr);
    }
    ~BareStore() {
        sqlite3_finalize(query);
        sqlite3_finalize(write);
        sqlite3_close_v2(db);
    }
    BareStore(const BareStore&) = delete;
    BareStore& operator=(const BareStore&) = delete;
};

const std::string kUpath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\CORVANE\\BENCH";
const std::string kUname = "INSTALLPATH";

void BM_SqlitePointQuery(benchmark::State& state) {
    root();
    BareStore store;
    for (auto _ : state) {
        sqlite3_bind_text(store.query, 1, kUpath.c_str(), static_cast<int>(kUpath.size()), SQLITE_STATIC);
        sqlite3_bind_text(store.query, 2, kUname.c_str(), static_cast<int>(kUname.size()), SQLITE_STATIC);
        if (sqlite3_step(store.query) != SQLITE_ROW) {
            state.SkipWithError("no row");
            break;
        }
        benchmark::DoNotOptimize(sqlite3_column_blob(store.query, 1));
        sqlite3_reset(store.query);
    }
}
BENCHMARK(BM_SqlitePointQuery);

void BM_RegSetValue(benchmark::State& state) {
    root();
    reg::HKEY key = nullptr;
    reg::RegOpenKeyExW(reg::HKEY_LOCAL_MACHINE, kKey, 0, reg::KEY_ALL_ACCESS, &key);
    const auto data = rk::text::wide_to_utf16le(std::wstring(kText) + L'\0');
    for (auto _ : state) {
        if (reg::RegSetValueExW(key, kValue, 0, reg::REG_SZ, data.data(), static_cast<rk::DWORD>(data.size())) != 0) {
            state.SkipWithError("write failed");
            break;
        }
    }
    reg::RegCloseKey(key);
}
BENCHMARK(BM_RegSetValue);

void BM_SqlitePointWrite(benchmark::State& state) {
    root();
    BareStore store;
    const auto data = rk::text::wide_to_utf16le(std::wstring(kText) + L'\0');
    for (auto _ : state) {
        sqlite3_exec(store.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_bind_text(store.write, 1, kUpath.c_str(), static_cast<int>(kUpath.size()), SQLITE_STATIC);
        sqlite3_bind_text(store.write, 2, kUname.c_str(), static_cast<int>(kUname.size()), SQLITE_STATIC);
        sqlite3_bind_blob(store.write, 3, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
        const int rc = sqlite3_step(store.write);
        sqlite3_reset(store.write);
        sqlite3_exec(store.db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_DONE) {
            state.SkipWithError("write failed");
            break;
        }
    }
}
BENCHMARK(BM_SqlitePointWrite);

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool short_run() { return std::getenv("RK_BENCH_SHORT") != nullptr; }

// One lookup of the bare reference: bind, step, copy the value out, reset.
bool bare_lookup(sqlite3_stmt* query, reg::BYTE (&buf)[256]) {
    sqlite3_bind_text(query, 1, kUpath.c_str(), static_cast<int>(kUpath.size()), SQLITE_STATIC);
    sqlite3_bind_text(query, 2, kUname.c_str(), static_cast<int>(kUname.size()), SQLITE_STATIC);
    if (sqlite3_step(query) != SQLITE_ROW) {
        return false;
    }
    std::memcpy(buf, sqlite3_column_blob(query, 1),
                std::min<std::size_t>(sizeof buf, static_cast<std::size_t>(sqlite3_column_bytes(query, 1))));
    sqlite3_reset(query);
    return true;
}

// Rounds of 200 seam lookups, then 200 bare ones on a connection opened
// with the default (serialized) locking, then 200 on one opened without
// SQLite's per-connection mutex (SQLITE_OPEN_NOMUTEX, what the seam's store
// uses under its own lock), alternating so that load from other processes
// falls on all alike. The goal's ratio is against the default connection;
// `ratio_nomutex` is against the unlocked one.
void BM_OpenQueryCloseVsSqlite(benchmark::State& state) {
    root();
    BareStore store;
    BareStore unlocked(SQLITE_OPEN_NOMUTEX);
    constexpr int kBatch = 200;
    reg::BYTE buf[256];
    double seam = 0;
    double bare = 0;
    double bare_unlocked = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            reg::HKEY key = nullptr;
            reg::RegOpenKeyExW(reg::HKEY_LOCAL_MACHINE, kKey, 0, reg::KEY_READ, &key);
            rk::DWORD type = 0;
            rk::DWORD size = sizeof buf;
            const rk::LONG err = reg::RegQueryValueExW(key, kValue, nullptr, &type, buf, &size);
            reg::RegCloseKey(key);
            if (err != 0) {
                state.SkipWithError("query failed");
                return;
            }
        }
        seam += seconds_since(start);
        // A batch of bare lookups added to `total`; false when a row is missing.
        auto bare_batch = [&](sqlite3_stmt* query, double& total) {
            const auto begin = Clock::now();
            for (int i = 0; i < kBatch; ++i) {
                if (!bare_lookup(query, buf)) {
                    state.SkipWithError("no row");
                    return false;
                }
            }
            total += seconds_since(begin);
            return true;
        };
        if (!bare_batch(store.query, bare) || !bare_batch(unlocked.query, bare_unlocked)) {
            return;
        }
    }
    const double lookups = static_cast<double>(state.iterations()) * kBatch;
    state.counters["seam_us"] = seam / lookups * 1e6;
    state.counters["sqlite_us"] = bare / lookups * 1e6;
    state.counters["sqlite_nomutex_us"] = bare_unlocked / lookups * 1e6;
    state.counters["ratio"] = seam / bare;
    state.counters["ratio_nomutex"] = seam / bare_unlocked;
}
BENCHMARK(BM_OpenQueryCloseVsSqlite)->Unit(benchmark::kMillisecond);

constexpr const wchar_t* kListKey = L"SOFTWARE\\Corvane\\Listing";
constexpr int kListValues = 200000;

// The listed key: kListValues REG_SZ values "name<i>" = "value number <i>",
// written in one transaction.
bool make_listing() {
    static const bool made = [] {
        root();
        reg::HKEY key = nullptr;
        if (reg::RegCreateKeyExW(reg::HKEY_LOCAL_MACHINE, kListKey, 0, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr) != 0) {
            return false;
        }
        const rk::LONG err = reg::run_in_transaction(key, [&]() -> rk::LONG {
            for (int i = 0; i < kListValues; ++i) {
                const std::wstring name = L"name" + std::to_wstring(i);
                const auto data = rk::text::wide_to_utf16le(L"value number " + std::to_wstring(i) + L'\0');
                if (const rk::LONG e = reg::RegSetValueExW(key, name.c_str(), 0, reg::REG_SZ, data.data(),
                                                           static_cast<rk::DWORD>(data.size()));
                    e != 0) {
                    return e;
                }
            }
            return 0;
        });
        reg::RegCloseKey(key);
        return err == 0;
    }();
    return made;
}

// Every value of the key, name and data copied out: RegEnumValueW index by
// index on one handle, against one SELECT over the same rows.
void BM_EnumValuesVsSqlite(benchmark::State& state) {
    if (!make_listing()) {
        state.SkipWithError("cannot write the listed key");
        return;
    }
    BareStore store;
    sqlite3_stmt* all = nullptr;
    sqlite3_prepare_v2(store.db,
                       "SELECT v.name, v.type, v.data FROM keys k JOIN vals v ON v.key_id = k.id"
                       " WHERE k.upath = ?1 ORDER BY v.seq",
                       -1, &all, nullptr);
    const std::string upath = "HKEY_LOCAL_MACHINE\\SOFTWARE\\CORVANE\\LISTING";
    std::vector<wchar_t> name(16384);
    std::vector<reg::BYTE> data(4096);
    double seam = 0;
    double bare = 0;
    long listed = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        reg::HKEY key = nullptr;
        reg::RegOpenKeyExW(reg::HKEY_LOCAL_MACHINE, kListKey, 0, reg::KEY_READ, &key);
        int count = 0;
        for (rk::DWORD i = 0;; ++i) {
            rk::DWORD cch = static_cast<rk::DWORD>(name.size());
            rk::DWORD cb = static_cast<rk::DWORD>(data.size());
            rk::DWORD type = 0;
            const rk::LONG err = reg::RegEnumValueW(key, i, name.data(), &cch, nullptr, &type, data.data(), &cb);
            if (err != 0) {
                break;
            }
            ++count;
        }
        reg::RegCloseKey(key);
        seam += seconds_since(start);
        start = Clock::now();
        int rows = 0;
        sqlite3_bind_text(all, 1, upath.c_str(), static_cast<int>(upath.size()), SQLITE_STATIC);
        while (sqlite3_step(all) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(all, 0);
            const int length = sqlite3_column_bytes(all, 0);
            benchmark::DoNotOptimize(text);
            benchmark::DoNotOptimize(sqlite3_column_int64(all, 1));
            std::memcpy(data.data(), sqlite3_column_blob(all, 2),
                        std::min<std::size_t>(data.size(), static_cast<std::size_t>(sqlite3_column_bytes(all, 2))));
            benchmark::DoNotOptimize(length);
            ++rows;
        }
        sqlite3_reset(all);
        bare += seconds_since(start);
        if (count != kListValues || rows != kListValues) {
            state.SkipWithError("listing incomplete");
            break;
        }
        listed += count;
    }
    sqlite3_finalize(all);
    state.counters["seam_ms"] = seam / static_cast<double>(state.iterations()) * 1e3;
    state.counters["sqlite_ms"] = bare / static_cast<double>(state.iterations()) * 1e3;
    state.counters["ratio"] = seam / bare;
    benchmark::DoNotOptimize(listed);
}
BENCHMARK(BM_EnumValuesVsSqlite)->Unit(benchmark::kMillisecond)->Iterations(short_run() ? 2 : 5);

}  // namespace

BENCHMARK_MAIN();
