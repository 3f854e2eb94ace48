#include "platform/system/ipc/sd_bus_support.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>

namespace rk::sys::ipc::detail {

namespace {

constexpr char kBusName[] = "org.freedesktop.DBus";
constexpr char kBusPath[] = "/org/freedesktop/DBus";

bool error_is(const sd_bus_error* error, const char* name) {
    return error != nullptr && error->name != nullptr && std::strcmp(error->name, name) == 0;
}

}  // namespace

int open_bus(const BusLocation& location, BusPtr& out) {
    sd_bus* raw = nullptr;
    if (location.address.empty()) {
        const int r = location.kind == BusKind::kSystem ? sd_bus_open_system(&raw) : sd_bus_open_user(&raw);
        if (r < 0) {
            return r;
        }
        out.reset(raw);
        return 0;
    }
    int r = sd_bus_new(&raw);
    if (r < 0) {
        return r;
    }
    BusPtr bus(raw);
    if ((r = sd_bus_set_address(bus.get(), location.address.c_str())) < 0 ||
        (r = sd_bus_set_bus_client(bus.get(), 1)) < 0 || (r = sd_bus_start(bus.get())) < 0) {
        return r;
    }
    out = std::move(bus);
    return 0;
}

int append_values(sd_bus_message* m, const IpcValues& values) {
    for (const auto& v : values) {
        int r = 0;
        const char code = type_code(v);
        if (const auto* s = std::get_if<std::string>(&v)) {
            // D-Bus strings end at their first NUL; refuse instead of cutting.
            if (s->find('\0') != std::string::npos) {
                return -EINVAL;
            }
            r = sd_bus_message_append_basic(m, code, s->c_str());
        } else {
            r = std::visit(
                [&](const auto& x) -> int {
                    if constexpr (std::is_same_v<std::decay_t<decltype(x)>, std::string>) {
                        return -EINVAL;
                    } else {
                        return sd_bus_message_append_basic(m, code, &x);
                    }
                },
                v);
        }
        if (r < 0) {
            return r;
        }
    }
    return 0;
}

int read_values(sd_bus_message* m, IpcValues& out) {
    out.clear();
    for (;;) {
        char type = 0;
        const char* contents = nullptr;
        int r = sd_bus_message_peek_type(m, &type, &contents);
        if (r < 0) {
            return r;
        }
        if (r == 0) {
            return 0;
        }
        switch (type) {
            case 'q': {
                std::uint16_t x = 0;
                r = sd_bus_message_read_basic(m, type, &x);
                out.emplace_back(x);
                break;
            }
            case 'i': {
                std::int32_t x = 0;
                r = sd_bus_message_read_basic(m, type, &x);
                out.emplace_back(x);
                break;
            }
            case 'u': {
                std::uint32_t x = 0;
                r = sd_bus_message_read_basic(m, type, &x);
                out.emplace_back(x);
                break;
            }
            case 't': {
                std::uint64_t x = 0;
                r = sd_bus_message_read_basic(m, type, &x);
                out.emplace_back(x);
                break;
            }
            case 's': {
                const char* s = nullptr;
                r = sd_bus_message_read_basic(m, type, &s);
                out.emplace_back(std::string(s != nullptr ? s : ""));
                break;
            }
            default:
                return -EBADMSG;
        }
        if (r < 0) {
            return r;
        }
    }
}

HRESULT hresult_of_errno(int r) {
    switch (-r) {
        case ETIMEDOUT:
            return kHrCallTimeout;
        case EINVAL:
            return win::kEInvalidArg;
        case ENOMEM:
            return win::kEOutOfMemory;
        case EACCES:
        case EPERM:
            return win::kEAccessDenied;
        default:
            // The connection or the bus is gone (ECONNRESET, ENOTCONN, EPIPE,
            // ECONNREFUSED, ENOENT for a missing socket, ...).
            return win::kHrRpcSServerUnavailable;
    }
}

HRESULT hresult_of_call(int r, const sd_bus_error* error) {
    if (error != nullptr && error->name != nullptr) {
        if (error_is(error, SD_BUS_ERROR_SERVICE_UNKNOWN) || error_is(error, SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
            error_is(error, SD_BUS_ERROR_NO_REPLY) || error_is(error, SD_BUS_ERROR_DISCONNECTED)) {
            return win::kHrRpcSServerUnavailable;
        }
        if (error_is(error, SD_BUS_ERROR_TIMEOUT)) {
            return kHrCallTimeout;
        }
        if (error_is(error, SD_BUS_ERROR_INVALID_ARGS)) {
            return win::kEInvalidArg;
        }
        if (error_is(error, SD_BUS_ERROR_UNKNOWN_METHOD) || error_is(error, SD_BUS_ERROR_UNKNOWN_OBJECT) ||
            error_is(error, SD_BUS_ERROR_UNKNOWN_INTERFACE)) {
            return win::kENotImpl;
        }
        if (error_is(error, SD_BUS_ERROR_ACCESS_DENIED)) {
            return win::kEAccessDenied;
        }
        if (error_is(error, SD_BUS_ERROR_NO_MEMORY)) {
            return win::kEOutOfMemory;
        }
        // sd-bus names a purely local failure after its errno.
        if (r == -ETIMEDOUT) {
            return kHrCallTimeout;
        }
        return win::kEFail;
    }
    return hresult_of_errno(r);
}

int name_owner(sd_bus* bus, const std::string& name, std::string& owner) {
    ScopedBusError error;
    sd_bus_message* raw = nullptr;
    int r = sd_bus_call_method(bus, kBusName, kBusPath, kBusName, "GetNameOwner", error.get(), &raw, "s",
                               name.c_str());
    MessagePtr reply(raw);
    if (r < 0) {
        return error_is(error.get(), SD_BUS_ERROR_NAME_HAS_NO_OWNER) ? -ENXIO : r;
    }
    const char* unique = nullptr;
    if ((r = sd_bus_message_read(reply.get(), "s", &unique)) < 0) {
        return r;
    }
    owner = unique;
    return 0;
}

int watch_name_owners(sd_bus* bus, SlotPtr& slot, sd_bus_message_handler_t callback, void* userdata) {
    sd_bus_slot* raw = nullptr;
    const int r =
        sd_bus_match_signal(bus, &raw, kBusName, kBusPath, kBusName, "NameOwnerChanged", callback, userdata);
    if (r >= 0) {
        slot.reset(raw);
    }
    return r;
}

std::string vanished_name(sd_bus_message* m) {
    const char* name = nullptr;
    const char* old_owner = nullptr;
    const char* new_owner = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &old_owner, &new_owner) < 0 || name == nullptr ||
        new_owner == nullptr || *new_owner != '\0') {
        return {};
    }
    return name;
}

BusLoop::BusLoop() : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

BusLoop::~BusLoop() {
    if (wake_fd_ >= 0) {
        ::close(wake_fd_);
    }
}

void BusLoop::wake() {
    const std::uint64_t one = 1;
    // A full counter still wakes the loop.
    [[maybe_unused]] const auto n = ::write(wake_fd_, &one, sizeof one);
}

void BusLoop::request_stop() {
    stop_.store(true);
    wake();
}

int BusLoop::run(sd_bus* bus, const std::function<void()>& on_wake) {
    while (!stop_.load()) {
        int r = 0;
        while ((r = sd_bus_process(bus, nullptr)) > 0) {
            if (stop_.load()) {
                return 0;
            }
        }
        if (r < 0) {
            return r;
        }
        const int bus_fd = sd_bus_get_fd(bus);
        const int events = sd_bus_get_events(bus);
        if (bus_fd < 0 || events < 0) {
            return bus_fd < 0 ? bus_fd : events;
        }
        std::uint64_t until = 0;
        int timeout_ms = -1;
        if (sd_bus_get_timeout(bus, &until) >= 0 && until != UINT64_MAX) {
            timespec now{};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            const std::uint64_t now_us =
                static_cast<std::uint64_t>(now.tv_sec) * 1000000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
            timeout_ms = until <= now_us ? 0 : static_cast<int>(std::min<std::uint64_t>((until - now_us + 999) / 1000, 60000));
        }
        pollfd fds[2] = {{bus_fd, static_cast<short>(events), 0}, {wake_fd_, POLLIN, 0}};
        if (::poll(fds, 2, timeout_ms) < 0 && errno != EINTR) {
            return -errno;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto n = ::read(wake_fd_, &count, sizeof count);
            if (on_wake) {
                on_wake();
            }
        }
    }
    return 0;
}

}  // namespace rk::sys::ipc::detail
