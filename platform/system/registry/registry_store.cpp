#include "platform/system/registry/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/system/registry/registry.h"
#include "platform/text/strings.h"
#include "platform/text/utf.h"

namespace rk::sys::reg {
namespace {

// Thrown inside a transaction body; becomes the call's result.
struct RegFail {
    LONG code;
};
struct SqlFail {
    int rc;
};

constexpr std::int64_t kChangeLogKept = 4096;
constexpr int kBusyTimeoutMs = 15000;

LONG map_sqlite(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_OK: return win::kErrorSuccess;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_CANTOPEN: return static_cast<LONG>(win::kErrorAccessDenied);
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: return static_cast<LONG>(win::kErrorRegistryCorrupt);
        case SQLITE_FULL: return static_cast<LONG>(win::kErrorDiskFull);
        case SQLITE_NOMEM: return static_cast<LONG>(win::kErrorOutOfMemory);
        case SQLITE_TOOBIG: return static_cast<LONG>(win::kErrorInvalidParameter);
        default: return static_cast<LONG>(win::kErrorRegistryIoFailed);
    }
}

std::string utf8(const std::wstring& s) { return text::wide_to_utf8(s); }

// The upper-cased UTF-8 form of `s` in `out`, whose buffer is reused. ASCII
// text (every path and name the updater uses) is folded in one branch-free
// pass; text with any other character goes through the general case folding.
void upper_into(std::wstring_view s, std::string& out) {
    out.resize(s.size());
    char* p = out.data();
    std::uint32_t beyond_ascii = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(s[i]);
        beyond_ascii |= c >> 7;
        p[i] = static_cast<char>(c - 'a' < 26 ? c - ('a' - 'A') : c);
    }
    if (beyond_ascii != 0) {
        out.clear();
        text::append_wide_to_utf8(out, text::to_upper(s));
    }
}

std::string upper(std::wstring_view s) {
    std::string out;
    upper_into(s, out);
    return out;
}

std::string parent_of(const std::string& upath) {
    const auto pos = upath.rfind('\\');
    return pos == std::string::npos ? std::string() : upath.substr(0, pos);
}

std::uint64_t now_filetime() {
    using namespace std::chrono;
    const auto since_epoch = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<std::uint64_t>(since_epoch / 100) + 116444736000000000ULL;
}

const char* schema_of(const KeyRef& key) { return key.is_volatile ? "vol" : "main"; }

std::wstring column_text(sqlite3_stmt* s, int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
    return p != nullptr ? text::utf8_to_wide(std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(s, col))))
                        : std::wstring();
}

std::vector<std::uint8_t> column_blob(sqlite3_stmt* s, int col) {
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, col));
    const int n = sqlite3_column_bytes(s, col);
    return p != nullptr ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
}

// Resets the statement when the use ends; steps throw SqlFail.
class Use {
public:
    explicit Use(sqlite3_stmt* s) : s_(s) {}
    ~Use() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    Use& bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // `v` outlives the use (no copy).
    Use& bind_static(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
        return *this;
    }
    Use& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    Use& bind_blob(int i, const std::uint8_t* data, std::size_t size) {
        if (size == 0) {
            sqlite3_bind_zeroblob(s_, i, 0);
        } else {
            sqlite3_bind_blob64(s_, i, data, size, SQLITE_TRANSIENT);
        }
        return *this;
    }
    bool step() {
        const int rc = sqlite3_step(s_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc == SQLITE_DONE) {
            return false;
        }
        throw SqlFail{rc};
    }
    sqlite3_stmt* get() const { return s_; }

private:
    sqlite3_stmt* s_;
};

void exec(sqlite3* db, const std::string& sql) {
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        throw SqlFail{rc};
    }
}

// Before SQLite's first use in the process: no page-cache memory set aside
// per connection up front (twenty pages by default, each written to when
// the connection opens: about a millisecond of page faults per store at
// start-up, and memory a sleeping daemon keeps); pages come as needed.
void configure_sqlite_once() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0); });
}

}  // namespace

RegistryStore::RegistryStore(std::filesystem::path main_file, std::filesystem::path volatile_file,
                             std::vector<std::wstring> roots)
    : main_file_(std::move(main_file)), volatile_file_(std::move(volatile_file)), roots_(std::move(roots)) {}

RegistryStore::~RegistryStore() {
    for (auto& [sql, stmt] : statements_) {
        sqlite3_finalize(stmt);
    }
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
    }
    if (volatile_fd_ >= 0) {
        ::close(volatile_fd_);
    }
}

void RegistryStore::release_memory() {
    std::lock_guard lock(mutex_);
    if (db_ == nullptr || tx_depth_ > 0) {
        return;
    }
    for (auto& [sql, stmt] : statements_) {
        sqlite3_finalize(stmt);
    }
    statements_.clear();
    key_cache_.clear();
    sqlite3_db_release_memory(db_);
}

sqlite3_stmt* RegistryStore::statement(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) {
        return it->second;
    }
    sqlite3_stmt* s = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) {
        throw SqlFail{rc};
    }
    statements_.emplace(sql, s);
    return s;
}

void RegistryStore::init_schema(const char* schema) {
    const std::string s = schema;
    exec(db_, "BEGIN IMMEDIATE");
    generation_.begin_write();
    struct EndWrite {
        StoreGeneration& generation;
        ~EndWrite() { generation.end_write(); }
    } end_write{generation_};
    try {
        exec(db_, "CREATE TABLE IF NOT EXISTS " + s +
                      ".keys(id INTEGER PRIMARY KEY AUTOINCREMENT, upath TEXT NOT NULL UNIQUE,"
                      " uparent TEXT NOT NULL, name TEXT NOT NULL, class TEXT NOT NULL DEFAULT '',"
                      " last_write INTEGER NOT NULL, sd BLOB)");
        exec(db_, "CREATE INDEX IF NOT EXISTS " + s + ".keys_parent ON keys(uparent, upath)");
        exec(db_, "CREATE TABLE IF NOT EXISTS " + s +
                      ".vals(seq INTEGER PRIMARY KEY, key_id INTEGER NOT NULL,"
                      " uname TEXT NOT NULL, name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
                      " UNIQUE(key_id, uname))");
        // Enumeration order within a key.
        exec(db_, "CREATE INDEX IF NOT EXISTS " + s + ".vals_order ON vals(key_id, seq)");
        if (s == "main") {
            // Plain rowids (no AUTOINCREMENT: that rewrites sqlite_sequence on
            // every insert) still only grow: pruning never removes the newest
            // row, and values enumerate in seq order either way.
            exec(db_, "CREATE TABLE IF NOT EXISTS main.changes(seq INTEGER PRIMARY KEY,"
                      " upath TEXT NOT NULL, kind INTEGER NOT NULL)");
            const std::int64_t now = static_cast<std::int64_t>(now_filetime());
            for (const auto& root : roots_) {
                std::wstring prefix;
                for (const auto& part : text::split(root, L'\\')) {
                    prefix += prefix.empty() ? part : L"\\" + part;
                    const std::string up = upper(prefix);
                    Use(statement("INSERT OR IGNORE INTO main.keys(upath, uparent, name, last_write)"
                                  " VALUES(?1, ?2, ?3, ?4)"))
                        .bind(1, up)
                        .bind(2, parent_of(up))
                        .bind(3, utf8(part))
                        .bind(4, now)
                        .step();
                }
            }
        }
        exec(db_, "COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void RegistryStore::open_connection() {
    configure_sqlite_once();
    std::error_code ec;
    std::filesystem::create_directories(main_file_.parent_path(), ec);
    // Every use of the connection holds mutex_: SQLite's own lock per call
    // would only repeat it.
    constexpr int kUnlocked = SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(main_file_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | kUnlocked, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        rc = sqlite3_open_v2(main_file_.c_str(), &db_, SQLITE_OPEN_READONLY | kUnlocked, nullptr);
        read_only_ = true;
        if (rc != SQLITE_OK) {
            // No store and no way to make one: an empty, read-only registry.
            sqlite3_close_v2(db_);
            db_ = nullptr;
            sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | kUnlocked, nullptr);
        }
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    if (db_ != nullptr && sqlite3_db_filename(db_, "main") != nullptr && *sqlite3_db_filename(db_, "main") != '\0') {
        generation_.open(main_file_, !read_only_);
    }
    if (!read_only_) {
        // Readers and writers of several processes run side by side in WAL
        // mode; NORMAL keeps every commit atomic across a crash.
        exec(db_, "PRAGMA journal_mode=WAL");
        exec(db_, "PRAGMA synchronous=NORMAL");
        struct stat st{};
        if (::stat(main_file_.c_str(), &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 022) != 0) {
            ::chmod(main_file_.c_str(), st.st_mode & 0755);
        }
    }
    try {
        init_schema("main");
    } catch (const SqlFail& f) {
        if ((f.rc & 0xFF) != SQLITE_READONLY) {
            throw;
        }
        read_only_ = true;
    }
    attach_volatile();
}

void RegistryStore::attach_volatile() {
    std::error_code ec;
    std::filesystem::create_directories(volatile_file_.parent_path(), ec);
    volatile_writable_ = false;
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(db_, "ATTACH DATABASE ?1 AS vol", -1, &s, nullptr);
    if (rc == SQLITE_OK) {
        const std::string file = volatile_file_.string();
        sqlite3_bind_text(s, 1, file.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(s);
    }
    sqlite3_finalize(s);
    if (rc == SQLITE_DONE) {
        try {
            exec(db_, "PRAGMA vol.journal_mode=WAL");
            init_schema("vol");
            // Held open only to notice, with one fstat, that the file was
            // removed or replaced.
            volatile_fd_ = ::open(volatile_file_.c_str(), O_RDONLY | O_CLOEXEC);
            if (volatile_fd_ >= 0) {
                volatile_writable_ = true;
                return;
            }
        } catch (const SqlFail&) {
        }
        sqlite3_exec(db_, "DETACH DATABASE vol", nullptr, nullptr, nullptr);
    }
    // No runtime folder to write to: volatile keys cannot be created.
    exec(db_, "ATTACH DATABASE ':memory:' AS vol");
    init_schema("vol");
}

void RegistryStore::check_volatile() {
    if (!volatile_writable_) {
        return;
    }
    struct stat st{};
    if (::fstat(volatile_fd_, &st) == 0 && st.st_nlink > 0) {
        return;
    }
    ::close(volatile_fd_);
    volatile_fd_ = -1;
    // The runtime store was removed (a reboot) or replaced: start over with
    // whatever is there now.
    ++volatile_epoch_;
    exec(db_, "DETACH DATABASE vol");
    attach_volatile();
}

LONG RegistryStore::ensure_open() {
    if (db_ != nullptr || open_error_ != 0) {
        return open_error_;
    }
    try {
        open_connection();
    } catch (const SqlFail& f) {
        open_error_ = map_sqlite(f.rc);
    }
    return open_error_;
}

template <typename F>
LONG RegistryStore::run(bool write, F&& body, bool uses_volatile) {
    std::lock_guard lock(mutex_);
    if (const LONG err = ensure_open(); err != 0) {
        return err;
    }
    if (write && read_only_) {
        return static_cast<LONG>(win::kErrorAccessDenied);
    }
    // Inside transact() a call is a savepoint of the open transaction.
    const bool nested = tx_depth_ > 0;
    const char* rollback = nested ? "ROLLBACK TO rk_call; RELEASE rk_call" : "ROLLBACK";
    bool in_tx = false;
    // Other processes learn of a write through the store's counter, moved
    // while the write lock is held.
    struct WriteMark {
        StoreGeneration* generation = nullptr;
        ~WriteMark() {
            if (generation != nullptr) {
                generation->end_write();
            }
        }
    } mark;
    try {
        // Transaction statements are prepared once: parsing them on every
        // call costs as much as a point query.
        if (nested) {
            Use(statement("SAVEPOINT rk_call")).step();
        } else {
            if (uses_volatile) {
                check_volatile();
            }
            Use(statement(write ? "BEGIN IMMEDIATE" : "BEGIN")).step();
            if (write) {
                generation_.begin_write();
                mark.generation = &generation_;
            }
        }
        in_tx = true;
        const LONG result = body();
        if (result == 0) {
            Use(statement(nested ? "RELEASE rk_call" : "COMMIT")).step();
        } else {
            exec(db_, rollback);
        }
        return result;
    } catch (const RegFail& f) {
        if (in_tx) {
            sqlite3_exec(db_, rollback, nullptr, nullptr, nullptr);
        }
        return f.code;
    } catch (const SqlFail& f) {
        if (in_tx) {
            sqlite3_exec(db_, rollback, nullptr, nullptr, nullptr);
        }
        return map_sqlite(f.rc);
    } catch (const std::bad_alloc&) {
        if (in_tx) {
            sqlite3_exec(db_, rollback, nullptr, nullptr, nullptr);
        }
        return static_cast<LONG>(win::kErrorOutOfMemory);
    }
}

template <typename F>
LONG RegistryStore::read_one(F&& body, bool uses_volatile) {
    std::lock_guard lock(mutex_);
    if (const LONG err = ensure_open(); err != 0) {
        return err;
    }
    try {
        if (uses_volatile && tx_depth_ == 0) {
            check_volatile();
        }
        return body();
    } catch (const RegFail& f) {
        return f.code;
    } catch (const SqlFail& f) {
        return map_sqlite(f.rc);
    } catch (const std::bad_alloc&) {
        return static_cast<LONG>(win::kErrorOutOfMemory);
    }
}

LONG RegistryStore::transact(const std::function<LONG()>& body) {
    std::lock_guard lock(mutex_);
    if (const LONG err = ensure_open(); err != 0) {
        return err;
    }
    if (read_only_) {
        return static_cast<LONG>(win::kErrorAccessDenied);
    }
    if (tx_depth_ > 0) {
        return body();
    }
    try {
        check_volatile();
        exec(db_, "BEGIN IMMEDIATE");
    } catch (const SqlFail& f) {
        return map_sqlite(f.rc);
    }
    generation_.begin_write();
    struct EndWrite {
        StoreGeneration& generation;
        ~EndWrite() { generation.end_write(); }
    } end_write{generation_};
    ++tx_depth_;
    LONG result = 0;
    try {
        result = body();
    } catch (...) {
        result = static_cast<LONG>(win::kErrorInvalidFunction);
    }
    --tx_depth_;
    if (result != 0) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return result;
    }
    const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return map_sqlite(rc);
    }
    return 0;
}

std::optional<KeyRef> RegistryStore::lookup(const std::string& upath) {
    for (const bool vol : {false, true}) {
        Use q(statement(vol ? "SELECT id FROM vol.keys WHERE upath = ?1" : "SELECT id FROM main.keys WHERE upath = ?1"));
        q.bind(1, upath);
        if (q.step()) {
            return KeyRef{vol, sqlite3_column_int64(q.get(), 0)};
        }
    }
    return std::nullopt;
}

void RegistryStore::require_alive(const KeyRef& key) {
    Use q(statement(std::string("SELECT 1 FROM ") + schema_of(key) + ".keys WHERE id = ?1"));
    q.bind(1, key.id);
    if (!q.step()) {
        throw RegFail{static_cast<LONG>(win::kErrorKeyDeleted)};
    }
}

void RegistryStore::touch(const KeyRef& key) {
    // Strictly growing, whatever the clock does: enumeration windows trust
    // an unchanged stamp.
    Use(statement(std::string("UPDATE ") + schema_of(key) + ".keys SET last_write = max(?1, last_write + 1) WHERE id = ?2"))
        .bind(1, static_cast<std::int64_t>(now_filetime()))
        .bind(2, key.id)
        .step();
    if (sqlite3_changes(db_) == 0) {
        throw RegFail{static_cast<LONG>(win::kErrorKeyDeleted)};
    }
}

void RegistryStore::log_change(const std::string& upath, DWORD kind) {
    Use(statement("INSERT INTO main.changes(upath, kind) VALUES(?1, ?2)"))
        .bind(1, upath)
        .bind(2, static_cast<std::int64_t>(kind))
        .step();
    const std::int64_t seq = sqlite3_last_insert_rowid(db_);
    if (seq % 256 == 0) {
        Use(statement("DELETE FROM main.changes WHERE seq < ?1")).bind(1, seq - kChangeLogKept).step();
    }
}

LONG RegistryStore::find_key(const std::wstring& path, KeyRef& out) {
    std::lock_guard lock(mutex_);
    upper_into(path, path_buffer_);
    const std::string& up = path_buffer_;
    const std::uint64_t before = generation_.stable();
    if (before != 0 && before == key_cache_generation_) {
        if (const auto it = key_cache_.find(up); it != key_cache_.end()) {
            out = KeyRef{false, it->second};
            return 0;
        }
    }
    const LONG result = run(false, [&]() -> LONG {
        const auto found = lookup(up);
        if (!found) {
            return static_cast<LONG>(win::kErrorFileNotFound);
        }
        out = *found;
        return 0;
    });
    // Volatile keys are not kept: their store can vanish without a write.
    if (result == 0 && !out.is_volatile && before != 0 && generation_.stable() == before) {
        constexpr std::size_t kKeyCacheSize = 1024;
        if (key_cache_generation_ != before || key_cache_.size() >= kKeyCacheSize) {
            key_cache_.clear();
            key_cache_generation_ = before;
        }
        key_cache_.emplace(up, out.id);
    }
    return result;
}

LONG RegistryStore::key_alive(const KeyRef& key) {
    return read_one(
        [&]() -> LONG {
            require_alive(key);
            return 0;
        },
        key.is_volatile);
}

LONG RegistryStore::create_key(const std::wstring& path, const std::wstring& key_class, bool is_volatile,
                               KeyRef& out, DWORD& disposition) {
    const auto parts = text::split(path, L'\\');
    return run(true, [&]() -> LONG {
        std::wstring prefix;
        std::string parent_up;
        KeyRef parent;
        bool created = false;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            prefix += i == 0 ? parts[i] : L"\\" + parts[i];
            const std::string up = upper(prefix);
            if (const auto found = lookup(up)) {
                parent = *found;
                parent_up = up;
                continue;
            }
            if (i == 0) {
                return static_cast<LONG>(win::kErrorFileNotFound);
            }
            if (parent.is_volatile && !is_volatile) {
                return static_cast<LONG>(win::kErrorChildMustBeVolatile);
            }
            if (is_volatile && !volatile_writable_) {
                return static_cast<LONG>(win::kErrorAccessDenied);
            }
            const KeyRef child{is_volatile, 0};
            Use(statement(std::string("INSERT INTO ") + schema_of(child) +
                          ".keys(upath, uparent, name, class, last_write) VALUES(?1, ?2, ?3, ?4, ?5)"))
                .bind(1, up)
                .bind(2, parent_up)
                .bind(3, utf8(parts[i]))
                .bind(4, i + 1 == parts.size() ? utf8(key_class) : std::string())
                .bind(5, static_cast<std::int64_t>(now_filetime()))
                .step();
            const KeyRef made{is_volatile, sqlite3_last_insert_rowid(db_)};
            touch(parent);
            log_change(parent_up, REG_NOTIFY_CHANGE_NAME);
            parent = made;
            parent_up = up;
            created = true;
        }
        out = parent;
        disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        return 0;
    });
}

LONG RegistryStore::query_value(const KeyRef& key, std::wstring_view name, DWORD& type, std::uint8_t* buffer,
                                DWORD& size) {
    return read_one(
        [&]() -> LONG {
            // One statement tells a deleted key (no row) from a missing value
            // (a row without a type).
            static const std::string sql[2] = {
                "SELECT v.type, v.data FROM main.keys k LEFT JOIN main.vals v ON v.key_id = k.id AND v.uname = ?2"
                " WHERE k.id = ?1",
                "SELECT v.type, v.data FROM vol.keys k LEFT JOIN vol.vals v ON v.key_id = k.id AND v.uname = ?2"
                " WHERE k.id = ?1"};
            upper_into(name, name_buffer_);
            Use q(statement(sql[key.is_volatile ? 1 : 0]));
            q.bind(1, key.id).bind_static(2, name_buffer_);
            if (!q.step()) {
                return static_cast<LONG>(win::kErrorKeyDeleted);
            }
            if (sqlite3_column_type(q.get(), 0) == SQLITE_NULL) {
                return static_cast<LONG>(win::kErrorFileNotFound);
            }
            type = static_cast<DWORD>(sqlite3_column_int64(q.get(), 0));
            const void* data = sqlite3_column_blob(q.get(), 1);
            const auto bytes = static_cast<DWORD>(sqlite3_column_bytes(q.get(), 1));
            if (buffer != nullptr && bytes != 0 && bytes <= size) {
                std::memcpy(buffer, data, bytes);
            }
            size = bytes;
            return 0;
        },
        key.is_volatile);
}

LONG RegistryStore::set_value(const KeyRef& key, const std::wstring& path, const std::wstring& name, DWORD type,
                              const std::uint8_t* data, std::size_t size) {
    const std::string uname = upper(name);
    const std::string upath = upper(path);
    return run(true, [&]() -> LONG {
        touch(key);  // also tells that the key still exists
        Use(statement(std::string("INSERT INTO ") + schema_of(key) +
                      ".vals(key_id, uname, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                      " ON CONFLICT(key_id, uname) DO UPDATE SET type = excluded.type, data = excluded.data"))
            .bind(1, key.id)
            .bind(2, uname)
            .bind(3, utf8(name))
            .bind(4, static_cast<std::int64_t>(type))
            .bind_blob(5, data, size)
            .step();
        log_change(upath, REG_NOTIFY_CHANGE_LAST_SET);
        return 0;
    });
}

LONG RegistryStore::delete_value(const KeyRef& key, const std::wstring& path, const std::wstring& name) {
    const std::string uname = upper(name);
    const std::string upath = upper(path);
    return run(true, [&]() -> LONG {
        touch(key);  // rolled back with the rest when the value is missing
        Use(statement(std::string("DELETE FROM ") + schema_of(key) + ".vals WHERE key_id = ?1 AND uname = ?2"))
            .bind(1, key.id)
            .bind(2, uname)
            .step();
        if (sqlite3_changes(db_) == 0) {
            return static_cast<LONG>(win::kErrorFileNotFound);
        }
        log_change(upath, REG_NOTIFY_CHANGE_LAST_SET);
        return 0;
    });
}

void RegistryStore::delete_subtree(const std::string& upath, bool keep_self) {
    const std::string lo = upath + "\\";
    const std::string hi = upath + "]";  // ']' follows '\' in every collation used here
    for (const char* schema : {"main", "vol"}) {
        const std::string s = schema;
        Use(statement("DELETE FROM " + s + ".vals WHERE key_id IN (SELECT id FROM " + s +
                      ".keys WHERE upath > ?1 AND upath < ?2 OR upath = ?3)"))
            .bind(1, lo)
            .bind(2, hi)
            .bind(3, upath)
            .step();
        Use(statement("DELETE FROM " + s + ".keys WHERE upath > ?1 AND upath < ?2 OR (upath = ?3 AND ?4 = 0)"))
            .bind(1, lo)
            .bind(2, hi)
            .bind(3, upath)
            .bind(4, static_cast<std::int64_t>(keep_self ? 1 : 0))
            .step();
    }
}

LONG RegistryStore::delete_key(const KeyRef& key, const std::wstring& path) {
    const std::string upath = upper(path);
    const std::string uparent = parent_of(upath);
    return run(true, [&]() -> LONG {
        require_alive(key);
        if (uparent.empty()) {
            return static_cast<LONG>(win::kErrorAccessDenied);
        }
        for (const char* schema : {"main", "vol"}) {
            Use q(statement(std::string("SELECT 1 FROM ") + schema + ".keys WHERE uparent = ?1 LIMIT 1"));
            q.bind(1, upath);
            if (q.step()) {
                return static_cast<LONG>(win::kErrorAccessDenied);
            }
        }
        delete_subtree(upath, false);
        if (const auto parent = lookup(uparent)) {
            touch(*parent);
        }
        log_change(uparent, REG_NOTIFY_CHANGE_NAME);
        log_change(upath, REG_NOTIFY_CHANGE_NAME | kChangeTreeRemoved);
        return 0;
    });
}

LONG RegistryStore::delete_tree(const KeyRef& key, const std::wstring& path, bool keep_self) {
    const std::string upath = upper(path);
    const std::string uparent = parent_of(upath);
    return run(true, [&]() -> LONG {
        require_alive(key);
        if (!keep_self && uparent.empty()) {
            return static_cast<LONG>(win::kErrorAccessDenied);
        }
        delete_subtree(upath, keep_self);
        if (keep_self) {
            touch(key);
            log_change(upath, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET);
            // Keys below are gone; watchers on them are told through a marker
            // for each child tree.
            log_change(upath + "\\", kChangeTreeRemoved);
        } else {
            if (const auto parent = lookup(uparent)) {
                touch(*parent);
            }
            log_change(uparent, REG_NOTIFY_CHANGE_NAME);
            log_change(upath, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET | kChangeTreeRemoved);
        }
        return 0;
    });
}

namespace {

// A window holds at most this many entries, and stops early once their
// data passes kWindowBytes (at least one entry).
constexpr std::int64_t kWindowRows = 256;
constexpr std::size_t kWindowBytes = 64 * 1024;

template <typename Entry>
bool same_key(const EnumWindow<Entry>& w, const KeyRef& key) {
    return w.key_id == key.id && w.key_volatile == key.is_volatile;
}

// The entry at `index` when the window holds it: 0; past the known end: 259.
template <typename Entry>
std::optional<LONG> from_window(EnumWindow<Entry>& w, DWORD index, Entry& out) {
    if (index >= w.base && index - w.base < w.rows.size()) {
        out = w.rows[index - w.base];
        return 0;
    }
    if (w.at_end && index == w.base + w.rows.size()) {
        // The enumeration is over: keep only the knowledge of its end.
        w.base = index;
        w.rows.clear();
        w.rows.shrink_to_fit();
        return static_cast<LONG>(win::kErrorNoMoreItems);
    }
    return std::nullopt;
}

}  // namespace

std::uint64_t RegistryStore::key_stamp(const KeyRef& key) {
    Use q(statement(std::string("SELECT last_write FROM ") + schema_of(key) + ".keys WHERE id = ?1"));
    q.bind(1, key.id);
    if (!q.step()) {
        throw RegFail{static_cast<LONG>(win::kErrorKeyDeleted)};
    }
    return static_cast<std::uint64_t>(sqlite3_column_int64(q.get(), 0));
}

void RegistryStore::fetch_values(const KeyRef& key, DWORD index, bool after_anchor, std::int64_t anchor,
                                 ValueWindow& w) {
    const std::string s = schema_of(key);
    Use q(statement(after_anchor ? "SELECT seq, name, type, data FROM " + s +
                                       ".vals WHERE key_id = ?1 AND seq > ?2 ORDER BY seq LIMIT ?3"
                                 : "SELECT seq, name, type, data FROM " + s +
                                       ".vals WHERE key_id = ?1 ORDER BY seq LIMIT ?3 OFFSET ?2"));
    q.bind(1, key.id).bind(2, after_anchor ? anchor : static_cast<std::int64_t>(index)).bind(3, kWindowRows);
    w.key_id = -1;  // until the window is whole
    w.rows.clear();
    w.base = index;
    std::size_t bytes = 0;
    bool more = false;
    while (q.step()) {
        if (bytes >= kWindowBytes) {
            more = true;
            break;
        }
        ValueEntry e;
        e.seq = sqlite3_column_int64(q.get(), 0);
        e.name = column_text(q.get(), 1);
        e.type = static_cast<DWORD>(sqlite3_column_int64(q.get(), 2));
        e.data = column_blob(q.get(), 3);
        bytes += e.data.size() + e.name.size() * sizeof(wchar_t);
        w.rows.push_back(std::move(e));
    }
    w.at_end = !more && static_cast<std::int64_t>(w.rows.size()) < kWindowRows;
}

void RegistryStore::fetch_keys(const std::string& upath, DWORD index, const char* anchor_op,
                               const std::string& anchor, KeyWindow& w) {
    const std::string columns = "upath, name, class, last_write";
    std::string sql;
    if (anchor_op == nullptr) {
        sql = "SELECT " + columns + " FROM (SELECT " + columns + " FROM main.keys WHERE uparent = ?1 UNION ALL SELECT " +
              columns + " FROM vol.keys WHERE uparent = ?1) ORDER BY upath LIMIT ?3 OFFSET ?2";
    } else {
        const std::string where = " WHERE uparent = ?1 AND upath " + std::string(anchor_op) + " ?2";
        sql = "SELECT " + columns + " FROM (SELECT " + columns + " FROM main.keys" + where + " UNION ALL SELECT " +
              columns + " FROM vol.keys" + where + ") ORDER BY upath LIMIT ?3";
    }
    Use q(statement(sql));
    q.bind(1, upath).bind(3, kWindowRows);
    if (anchor_op == nullptr) {
        q.bind(2, static_cast<std::int64_t>(index));
    } else {
        q.bind(2, anchor);
    }
    w.key_id = -1;  // until the window is whole
    w.rows.clear();
    w.base = index;
    while (q.step()) {
        KeyEntry e;
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0));
        e.upath.assign(p != nullptr ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(q.get(), 0)));
        e.name = column_text(q.get(), 1);
        e.key_class = column_text(q.get(), 2);
        e.last_write = static_cast<std::uint64_t>(sqlite3_column_int64(q.get(), 3));
        w.rows.push_back(std::move(e));
    }
    w.at_end = static_cast<std::int64_t>(w.rows.size()) < kWindowRows;
}

LONG RegistryStore::enum_key(const KeyRef& key, const std::wstring& path, DWORD index, KeyEntry& out,
                             KeyWindow& w) {
    const std::string upath = upper(path);
    std::lock_guard lock(mutex_);
    const std::uint64_t before = generation_.stable();
    bool current = false;  // the window is the key's content as of `before`
    // Subkeys may be volatile: the runtime store is checked on every call.
    const LONG result = run(false, [&]() -> LONG {
        if (before != 0 && w.generation == before && same_key(w, key) && w.volatile_epoch == volatile_epoch_) {
            if (const auto served = from_window(w, index, out)) {
                current = true;
                return *served;
            }
        }
        const std::uint64_t stamp = key_stamp(key);
        current = true;
        const bool same = same_key(w, key) && w.stamp == stamp && w.volatile_epoch == volatile_epoch_;
        const bool inside = same && index >= w.base && index - w.base < w.rows.size();
        const bool next = same && !w.rows.empty() && index == w.base + w.rows.size();
        if (same && w.at_end && index == w.base + w.rows.size()) {
            return *from_window(w, index, out);
        }
        // The set of subkeys is the same when the stamp is, but their class
        // and last-write time may not be: re-read from the same position.
        if (inside) {
            const std::string anchor = w.rows[index - w.base].upath;
            fetch_keys(upath, index, ">=", anchor, w);
        } else if (next) {
            const std::string anchor = w.rows.back().upath;
            fetch_keys(upath, index, ">", anchor, w);
        } else {
            fetch_keys(upath, index, nullptr, std::string(), w);
        }
        w.key_id = key.id;
        w.key_volatile = key.is_volatile;
        w.stamp = stamp;
        w.volatile_epoch = volatile_epoch_;
        if (const auto served = from_window(w, index, out)) {
            return *served;
        }
        return static_cast<LONG>(win::kErrorNoMoreItems);
    });
    const bool answered = result == 0 || result == static_cast<LONG>(win::kErrorNoMoreItems);
    w.generation = answered && current && before != 0 && generation_.stable() == before ? before : 0;
    return result;
}

LONG RegistryStore::enum_value(const KeyRef& key, DWORD index, ValueEntry& out, ValueWindow& w) {
    std::lock_guard lock(mutex_);
    const std::uint64_t before = generation_.stable();
    // No write anywhere in the store since the window was read: no SQL. A
    // volatile key's store may vanish without a write, so those always ask.
    if (before != 0 && w.generation == before && same_key(w, key) && !key.is_volatile) {
        if (const auto served = from_window(w, index, out)) {
            return *served;
        }
    }
    bool current = false;  // the window is the key's content as of `before`
    const LONG result = run(
        false,
        [&]() -> LONG {
            const std::uint64_t stamp = key_stamp(key);
            current = true;
            const bool same = same_key(w, key) && w.stamp == stamp && w.volatile_epoch == volatile_epoch_;
            if (same) {
                if (const auto served = from_window(w, index, out)) {
                    return *served;
                }
            }
            if (same && !w.rows.empty() && index == w.base + w.rows.size()) {
                fetch_values(key, index, true, w.rows.back().seq, w);
            } else {
                fetch_values(key, index, false, 0, w);
            }
            w.key_id = key.id;
            w.key_volatile = key.is_volatile;
            w.stamp = stamp;
            w.volatile_epoch = volatile_epoch_;
            if (const auto served = from_window(w, index, out)) {
                return *served;
            }
            return static_cast<LONG>(win::kErrorNoMoreItems);
        },
        key.is_volatile);
    const bool answered = result == 0 || result == static_cast<LONG>(win::kErrorNoMoreItems);
    w.generation = answered && current && before != 0 && generation_.stable() == before ? before : 0;
    return result;
}

LONG RegistryStore::query_info(const KeyRef& key, const std::wstring& path, KeyInfo& out) {
    const std::string upath = upper(path);
    return run(false, [&]() -> LONG {
        const std::string s = schema_of(key);
        {
            Use q(statement("SELECT class, last_write, length(sd) FROM " + s + ".keys WHERE id = ?1"));
            q.bind(1, key.id);
            if (!q.step()) {
                return static_cast<LONG>(win::kErrorKeyDeleted);
            }
            out.key_class = column_text(q.get(), 0);
            out.last_write = static_cast<std::uint64_t>(sqlite3_column_int64(q.get(), 1));
            out.security_size = static_cast<DWORD>(sqlite3_column_int64(q.get(), 2));
        }
        out.sub_keys = out.max_sub_key_len = out.max_class_len = 0;
        for (const char* schema : {"main", "vol"}) {
            Use q(statement(std::string("SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(class)), 0)"
                                        " FROM ") +
                            schema + ".keys WHERE uparent = ?1"));
            q.bind(1, upath);
            q.step();
            out.sub_keys += static_cast<DWORD>(sqlite3_column_int64(q.get(), 0));
            out.max_sub_key_len = std::max(out.max_sub_key_len, static_cast<DWORD>(sqlite3_column_int64(q.get(), 1)));
            out.max_class_len = std::max(out.max_class_len, static_cast<DWORD>(sqlite3_column_int64(q.get(), 2)));
        }
        Use q(statement("SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0) FROM " + s +
                        ".vals WHERE key_id = ?1"));
        q.bind(1, key.id);
        q.step();
        out.values = static_cast<DWORD>(sqlite3_column_int64(q.get(), 0));
        out.max_value_name_len = static_cast<DWORD>(sqlite3_column_int64(q.get(), 1));
        out.max_value_len = static_cast<DWORD>(sqlite3_column_int64(q.get(), 2));
        return 0;
    });
}

LONG RegistryStore::get_security(const KeyRef& key, std::vector<std::uint8_t>& out) {
    return run(false, [&]() -> LONG {
        Use q(statement(std::string("SELECT sd FROM ") + schema_of(key) + ".keys WHERE id = ?1"));
        q.bind(1, key.id);
        if (!q.step()) {
            return static_cast<LONG>(win::kErrorKeyDeleted);
        }
        out = column_blob(q.get(), 0);
        return 0;
    });
}

LONG RegistryStore::set_security(const KeyRef& key, const std::wstring& path, const std::uint8_t* data,
                                 std::size_t size) {
    const std::string upath = upper(path);
    return run(true, [&]() -> LONG {
        require_alive(key);
        Use(statement(std::string("UPDATE ") + schema_of(key) + ".keys SET sd = ?1 WHERE id = ?2"))
            .bind_blob(1, data, size)
            .bind(2, key.id)
            .step();
        log_change(upath, REG_NOTIFY_CHANGE_SECURITY);
        return 0;
    });
}

LONG RegistryStore::flush() {
    std::lock_guard lock(mutex_);
    if (const LONG err = ensure_open(); err != 0) {
        return err;
    }
    if (read_only_) {
        return 0;
    }
    const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return rc == SQLITE_BUSY ? 0 : map_sqlite(rc);
}

LONG RegistryStore::changes_since(std::int64_t after, std::vector<ChangeRecord>& out, std::int64_t& newest,
                                  std::int64_t& oldest) {
    return run(false, [&]() -> LONG {
        {
            Use q(statement("SELECT coalesce(min(seq), 0), coalesce(max(seq), 0) FROM main.changes"));
            q.step();
            oldest = sqlite3_column_int64(q.get(), 0);
            newest = sqlite3_column_int64(q.get(), 1);
        }
        if (newest <= after) {
            return 0;
        }
        Use q(statement("SELECT seq, upath, kind FROM main.changes WHERE seq > ?1 ORDER BY seq"));
        q.bind(1, after);
        while (q.step()) {
            out.push_back(ChangeRecord{sqlite3_column_int64(q.get(), 0), column_text(q.get(), 1),
                                       static_cast<DWORD>(sqlite3_column_int64(q.get(), 2))});
        }
        return 0;
    });
}

LONG RegistryStore::newest_change(std::int64_t& newest) {
    return run(false, [&]() -> LONG {
        Use q(statement("SELECT coalesce(max(seq), 0) FROM main.changes"));
        q.step();
        newest = sqlite3_column_int64(q.get(), 0);
        return 0;
    });
}

}  // namespace rk::sys::reg
