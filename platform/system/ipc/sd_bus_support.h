// Internal helpers of the D-Bus implementation: owners of sd-bus objects,
// opening a bus, reading and writing IpcValues, error mapping, and a wait
// loop that can be woken from another thread.
#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/system/ipc/local_service.h"

namespace rk::sys::ipc::detail {

struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* s) const { sd_bus_slot_unref(s); }
};
using BusPtr = std::unique_ptr<sd_bus, BusCloser>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

class ScopedBusError {
public:
    ScopedBusError() = default;
    ScopedBusError(const ScopedBusError&) = delete;
    ScopedBusError& operator=(const ScopedBusError&) = delete;
    ~ScopedBusError() { sd_bus_error_free(&error_); }
    sd_bus_error* get() { return &error_; }
    const char* name() const { return error_.name; }

private:
    sd_bus_error error_{nullptr, nullptr, 0};  // SD_BUS_ERROR_NULL is a C compound literal
};

// Negative errno on failure.
int open_bus(const BusLocation& location, BusPtr& out);

int append_values(sd_bus_message* m, const IpcValues& values);
// Reads the message's remaining arguments, which must be basic values of
// the supported kinds; negative errno otherwise.
int read_values(sd_bus_message* m, IpcValues& out);

// The HRESULT of a failed call: `r` is sd-bus's negative errno, `error` the
// error reply if one arrived.
HRESULT hresult_of_call(int r, const sd_bus_error* error);
// The HRESULT of a failed local bus operation (negative errno).
HRESULT hresult_of_errno(int r);

// Unique name of the current owner of `name`; negative errno (-ENXIO when
// nobody owns it).
int name_owner(sd_bus* bus, const std::string& name, std::string& owner);

// Subscribes to NameOwnerChanged; `callback` gets the message.
int watch_name_owners(sd_bus* bus, SlotPtr& slot, sd_bus_message_handler_t callback, void* userdata);
// From a NameOwnerChanged message: the name whose owner left, empty if the
// message says something else.
std::string vanished_name(sd_bus_message* m);

// Processes a bus until stopped: dispatches everything pending, then waits
// for the bus or a wake-up. Returns 0 when stopped, negative errno when the
// bus failed.
class BusLoop {
public:
    BusLoop();
    BusLoop(const BusLoop&) = delete;
    BusLoop& operator=(const BusLoop&) = delete;
    ~BusLoop();

    bool valid() const { return wake_fd_ >= 0; }
    int run(sd_bus* bus, const std::function<void()>& on_wake);
    void wake();
    void request_stop();

private:
    int wake_fd_ = -1;
    std::atomic<bool> stop_{false};
};

}  // namespace rk::sys::ipc::detail
