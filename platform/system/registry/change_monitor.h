// Delivers RegNotifyChangeKeyValue notifications. Every write appends a
// record (key path, kind of change) to the store's change log inside its own
// transaction; one monitor thread per process polls the logs of the stores
// that have pending watchers and signals the matching events. Changes made
// by this process wake the thread at once, those of other processes are
// seen within one poll interval. The thread only exists once something was
// watched.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/registry/registry.h"
#include "platform/system/registry/registry_store.h"

namespace rk::sys::reg {

class ChangeMonitor {
public:
    static ChangeMonitor& instance();
    ~ChangeMonitor();
    ChangeMonitor(const ChangeMonitor&) = delete;
    ChangeMonitor& operator=(const ChangeMonitor&) = delete;

    // `upath` is the upper-cased full key path; `owner` the handle watched.
    LONG watch(const std::shared_ptr<RegistryStore>& store, std::uintptr_t owner, const std::wstring& upath,
               bool subtree, DWORD filter, const HANDLE& event);
    // Signals and drops the watchers of a handle being closed.
    void handle_closed(std::uintptr_t owner);
    // A write happened in this process.
    void poke();

    // Whether a change record concerns a watcher.
    static bool matches(const ChangeRecord& change, const std::wstring& upath, bool subtree, DWORD filter);

private:
    ChangeMonitor() = default;
    struct Watcher {
        std::uint64_t id = 0;
        std::shared_ptr<RegistryStore> store;
        std::uintptr_t owner = 0;
        std::wstring upath;
        bool subtree = false;
        DWORD filter = 0;
        HANDLE event;
        std::int64_t after = 0;
    };
    void loop();
    void scan();

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Watcher> watchers_;
    std::uint64_t next_id_ = 1;
    bool stop_ = false;
    bool poked_ = false;
    std::thread thread_;
};

}  // namespace rk::sys::reg
