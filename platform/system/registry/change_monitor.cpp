#include "platform/system/registry/change_monitor.h"

#include <algorithm>
#include <chrono>
#include <map>

namespace rk::sys::reg {
namespace {

// Other processes' changes are noticed within this interval; the query is
// one index lookup per store with watchers.
constexpr auto kPollInterval = std::chrono::milliseconds(20);

bool is_below(const std::wstring& path, const std::wstring& ancestor) {
    if (ancestor.empty()) {
        return false;
    }
    if (ancestor.back() == L'\\') {
        return path.size() >= ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0;
    }
    return path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
           path[ancestor.size()] == L'\\';
}

}  // namespace

ChangeMonitor& ChangeMonitor::instance() {
    static ChangeMonitor monitor;
    return monitor;
}

ChangeMonitor::~ChangeMonitor() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool ChangeMonitor::matches(const ChangeRecord& change, const std::wstring& upath, bool subtree, DWORD filter) {
    if ((change.kind & kChangeTreeRemoved) != 0 && (change.upath == upath || is_below(upath, change.upath))) {
        return true;
    }
    if ((change.kind & filter & 0xF) == 0) {
        return false;
    }
    return change.upath == upath || (subtree && is_below(change.upath, upath));
}

LONG ChangeMonitor::watch(const std::shared_ptr<RegistryStore>& store, std::uintptr_t owner,
                          const std::wstring& upath, bool subtree, DWORD filter, const HANDLE& event) {
    std::int64_t newest = 0;
    if (const LONG err = store->newest_change(newest); err != 0) {
        return err;
    }
    std::lock_guard lock(mutex_);
    watchers_.push_back(Watcher{next_id_++, store, owner, upath, subtree, filter, event, newest});
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { loop(); });
    }
    return 0;
}

void ChangeMonitor::handle_closed(std::uintptr_t owner) {
    std::lock_guard lock(mutex_);
    std::erase_if(watchers_, [owner](const Watcher& w) {
        if (w.owner != owner) {
            return false;
        }
        w.event->set();
        return true;
    });
}

void ChangeMonitor::poke() {
    {
        std::lock_guard lock(mutex_);
        if (watchers_.empty()) {
            return;
        }
        poked_ = true;
    }
    cv_.notify_all();
}

void ChangeMonitor::loop() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        cv_.wait_for(lock, kPollInterval, [this] { return stop_ || poked_; });
        poked_ = false;
        if (stop_ || watchers_.empty()) {
            continue;
        }
        lock.unlock();
        scan();
        lock.lock();
    }
}

void ChangeMonitor::scan() {
    // Read each store's log without holding the monitor lock, then fire.
    std::map<RegistryStore*, std::pair<std::shared_ptr<RegistryStore>, std::int64_t>> stores;
    {
        std::lock_guard lock(mutex_);
        for (const auto& w : watchers_) {
            auto [it, added] = stores.try_emplace(w.store.get(), w.store, w.after);
            if (!added) {
                it->second.second = std::min(it->second.second, w.after);
            }
        }
    }
    struct Log {
        std::vector<ChangeRecord> records;
        std::int64_t newest = 0;
        std::int64_t oldest = 0;
        bool ok = false;
    };
    std::map<RegistryStore*, Log> logs;
    for (auto& [raw, entry] : stores) {
        Log log;
        log.ok = entry.first->changes_since(entry.second, log.records, log.newest, log.oldest) == 0;
        logs.emplace(raw, std::move(log));
    }
    std::lock_guard lock(mutex_);
    std::erase_if(watchers_, [&](Watcher& w) {
        const auto it = logs.find(w.store.get());
        if (it == logs.end() || !it->second.ok) {
            return false;
        }
        const Log& log = it->second;
        // Records the watcher may have missed were pruned: report a change.
        bool fire = log.oldest > w.after + 1 && log.newest > w.after;
        for (const auto& change : log.records) {
            if (fire) {
                break;
            }
            fire = change.seq > w.after && matches(change, w.upath, w.subtree, w.filter);
        }
        if (fire) {
            w.event->set();
            return true;
        }
        w.after = std::max(w.after, log.newest);
        return false;
    });
}

}  // namespace rk::sys::reg
