// One registry store: a SQLite database of persistent keys with the volatile
// store attached as schema "vol". Paths are full key paths starting with the
// hive name ("HKEY_LOCAL_MACHINE\SOFTWARE\x"), compared case-insensitively
// through their upper-cased form. Every call is one transaction, serialised
// on the store's own mutex, and reports a Windows error number.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors/win_error.h"
#include "platform/system/registry/store_generation.h"

namespace rk::sys::reg {

struct KeyRef {
    bool is_volatile = false;
    std::int64_t id = 0;
};

struct KeyEntry {
    std::wstring name;
    std::wstring key_class;
    std::uint64_t last_write = 0;  // FILETIME units
    std::string upath;             // where it stands in the enumeration order
};

struct ValueEntry {
    std::wstring name;
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    std::int64_t seq = 0;  // where it stands in the enumeration order
};

// Where one handle's enumeration stands: a window of consecutive entries
// read in one statement. It answers later indexes without SQL while the
// store's write counter has not moved, and with one stamp check when it has
// but the key's last-write stamp (which every change of its values or
// subkeys moves) has not. Owned by the handle; used under the store's lock.
template <typename Entry>
struct EnumWindow {
    std::int64_t key_id = -1;
    bool key_volatile = false;
    std::uint64_t stamp = 0;
    std::uint64_t generation = 0;  // counter value the window is current at; 0: check the stamp
    std::uint64_t volatile_epoch = 0;
    DWORD base = 0;  // index of rows.front()
    std::vector<Entry> rows;
    bool at_end = false;  // rows reach the last entry
};
using ValueWindow = EnumWindow<ValueEntry>;
using KeyWindow = EnumWindow<KeyEntry>;

struct KeyInfo {
    std::wstring key_class;
    DWORD sub_keys = 0;
    DWORD max_sub_key_len = 0;
    DWORD max_class_len = 0;
    DWORD values = 0;
    DWORD max_value_name_len = 0;
    DWORD max_value_len = 0;
    DWORD security_size = 0;
    std::uint64_t last_write = 0;
};

// Marks a change record that removed the key and everything below it, so
// watchers of keys inside the removed tree fire too.
inline constexpr DWORD kChangeTreeRemoved = 0x80000000u;

struct ChangeRecord {
    std::int64_t seq = 0;
    std::wstring upath;
    DWORD kind = 0;  // REG_NOTIFY_CHANGE_* bit
};

class RegistryStore {
public:
    // `roots`: hive root paths (and alias bases) created when missing.
    RegistryStore(std::filesystem::path main_file, std::filesystem::path volatile_file,
                  std::vector<std::wstring> roots);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    const std::filesystem::path& main_file() const { return main_file_; }

    LONG find_key(const std::wstring& path, KeyRef& out);
    // Creates every missing component of `path`; 1021 when a persistent key
    // would be created below a volatile one.
    LONG create_key(const std::wstring& path, const std::wstring& key_class, bool is_volatile,
                    KeyRef& out, DWORD& disposition);
    // `size`: in, the room at `buffer` (null: none); out, the value's size.
    // The data is copied only when it fits.
    LONG query_value(const KeyRef& key, std::wstring_view name, DWORD& type, std::uint8_t* buffer, DWORD& size);
    LONG set_value(const KeyRef& key, const std::wstring& path, const std::wstring& name, DWORD type,
                   const std::uint8_t* data, std::size_t size);
    LONG delete_value(const KeyRef& key, const std::wstring& path, const std::wstring& name);
    // Refused with 5 while the key has subkeys.
    LONG delete_key(const KeyRef& key, const std::wstring& path);
    LONG delete_tree(const KeyRef& key, const std::wstring& path, bool keep_self);
    // O(1) amortised for consecutive indexes of one window; 259 past the end.
    LONG enum_key(const KeyRef& key, const std::wstring& path, DWORD index, KeyEntry& out, KeyWindow& window);
    LONG enum_value(const KeyRef& key, DWORD index, ValueEntry& out, ValueWindow& window);
    LONG query_info(const KeyRef& key, const std::wstring& path, KeyInfo& out);
    LONG get_security(const KeyRef& key, std::vector<std::uint8_t>& out);
    LONG set_security(const KeyRef& key, const std::wstring& path, const std::uint8_t* data,
                      std::size_t size);
    LONG flush();
    LONG key_alive(const KeyRef& key);
    // Drops the page cache, prepared statements and key lookup cache (not
    // inside a transaction: then it does nothing).
    void release_memory();

    // Runs `body` as one transaction: the calls it makes on this store (from
    // this thread; other threads wait) commit together when it returns 0 and
    // are rolled back otherwise. Calls inside become savepoints, so a failed
    // call still undoes only itself and `body` decides. Nests.
    LONG transact(const std::function<LONG()>& body);

    // Change log for notifications: records after `after`, the newest
    // sequence number and the oldest one still kept.
    LONG changes_since(std::int64_t after, std::vector<ChangeRecord>& out, std::int64_t& newest,
                       std::int64_t& oldest);
    LONG newest_change(std::int64_t& newest);

private:
    struct Statement;
    class Tx;

    LONG ensure_open();
    void open_connection();
    void attach_volatile();
    void check_volatile();
    void init_schema(const char* schema);
    sqlite3_stmt* statement(const std::string& sql);
    // One transaction around `body`; `uses_volatile` false skips the check
    // that the volatile store is still the one attached.
    template <typename F>
    LONG run(bool write, F&& body, bool uses_volatile = true);
    // One reading statement: SQLite's implicit transaction around it is
    // enough, so no BEGIN and COMMIT (nor a savepoint inside transact()).
    template <typename F>
    LONG read_one(F&& body, bool uses_volatile);
    std::uint64_t key_stamp(const KeyRef& key);
    void fetch_values(const KeyRef& key, DWORD index, bool after_anchor, std::int64_t anchor, ValueWindow& window);
    void fetch_keys(const std::string& upath, DWORD index, const char* anchor_op, const std::string& anchor,
                    KeyWindow& window);

    std::optional<KeyRef> lookup(const std::string& upath);
    void require_alive(const KeyRef& key);
    void touch(const KeyRef& key);
    void log_change(const std::string& upath, DWORD kind);
    void delete_subtree(const std::string& upath, bool keep_self);

    std::filesystem::path main_file_;
    std::filesystem::path volatile_file_;
    std::vector<std::wstring> roots_;
    std::recursive_mutex mutex_;  // recursive for calls inside transact()
    int tx_depth_ = 0;
    sqlite3* db_ = nullptr;
    LONG open_error_ = 0;
    bool read_only_ = false;
    bool volatile_writable_ = false;
    int volatile_fd_ = -1;
    std::uint64_t volatile_epoch_ = 0;  // counts re-attachments of the volatile store
    std::map<std::string, sqlite3_stmt*> statements_;
    StoreGeneration generation_;
    // Persistent keys found by path, valid while the write counter stays at
    // key_cache_generation_.
    std::map<std::string, std::int64_t> key_cache_;
    std::uint64_t key_cache_generation_ = 0;
    // Upper-cased key path and value name of the running call, buffers kept
    // between calls (used under the lock).
    std::string path_buffer_;
    std::string name_buffer_;
};

}  // namespace rk::sys::reg
