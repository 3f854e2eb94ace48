#include "platform/system/file_view.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/errors/errno_map.h"
#include "platform/system/file_native.h"

namespace rk::sys {
namespace {

// The fault guard: the address ranges of live views. The SIGBUS handler reads
// them without locks, so every field is atomic and a range is published end
// first, begin last (and withdrawn begin first).
constexpr int kGuardSlots = 128;

struct GuardSlot {
    std::atomic<bool> used{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> hit{false};
};

GuardSlot g_slots[kGuardSlots];
struct sigaction g_previous{};
std::uintptr_t g_page_mask = ~std::uintptr_t{4095};
std::once_flag g_installed;

// Dies of the signal as the process would have without this handler.
void fall_back(int signal, siginfo_t* info, void* context) {
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(signal, info, context);
        return;
    }
    if ((g_previous.sa_flags & SA_SIGINFO) == 0 && g_previous.sa_handler != SIG_DFL &&
        g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
        return;
    }
    struct sigaction fallback{};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(SIGBUS, &fallback, nullptr);
    if (info->si_code <= 0) {
        ::raise(signal);  // sent by kill(): the faulting access will not repeat
    }
    // A fault: returning repeats the access, which now meets the default action.
}

void on_bus_error(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& slot : g_slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin) {
            continue;
        }
        const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
        if (address >= end) {
            continue;
        }
        // Zero pages over the rest of the view: the access completes and the
        // view reports the damage.
        const std::uintptr_t page = address & g_page_mask;
        if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                   0) != MAP_FAILED) {
            slot.hit.store(true, std::memory_order_release);
            return;
        }
    }
    fall_back(signal, info, context);
}

void install_guard() {
    g_page_mask = ~(static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)) - 1);
    struct sigaction action{};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous);
}

int guard(const std::uint8_t* data, std::size_t size) {
    std::call_once(g_installed, install_guard);
    for (int i = 0; i < kGuardSlots; ++i) {
        bool expected = false;
        if (g_slots[i].used.compare_exchange_strong(expected, true)) {
            g_slots[i].hit.store(false);
            g_slots[i].end.store(reinterpret_cast<std::uintptr_t>(data) + size, std::memory_order_release);
            g_slots[i].begin.store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void unguard(int slot) {
    g_slots[slot].begin.store(0, std::memory_order_release);
    g_slots[slot].end.store(0, std::memory_order_release);
    g_slots[slot].used.store(false, std::memory_order_release);
}

}  // namespace

FileView::FileView(FileView&& other) noexcept
    : file_(std::move(other.file_)),
      identity_(other.identity_),
      data_(other.data_),
      size_(other.size_),
      guard_slot_(other.guard_slot_) {
    other.data_ = nullptr;
    other.size_ = 0;
    other.guard_slot_ = -1;
}

FileView& FileView::operator=(FileView&& other) noexcept {
    if (this != &other) {
        release();
        file_ = std::move(other.file_);
        identity_ = other.identity_;
        data_ = other.data_;
        size_ = other.size_;
        guard_slot_ = other.guard_slot_;
        other.data_ = nullptr;
        other.size_ = 0;
        other.guard_slot_ = -1;
    }
    return *this;
}

FileView::~FileView() { release(); }

void FileView::release() {
    if (guard_slot_ >= 0) {
        unguard(guard_slot_);
        guard_slot_ = -1;
    }
    if (data_ != nullptr) {
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
        data_ = nullptr;
    }
    size_ = 0;
    file_.close();
}

DWORD FileView::open(const File& file, FileView& out) {
    out.release();
    FileView view;
    if (const DWORD error = file.duplicate(view.file_); error != win::kErrorSuccess) {
        return error;
    }
    if (const DWORD error = view.file_.identity(view.identity_); error != win::kErrorSuccess) {
        return error;
    }
    if (view.identity_.size > SIZE_MAX) {
        return win::kErrorFileTooLarge;
    }
    view.size_ = static_cast<std::size_t>(view.identity_.size);
    if (view.size_ > 0) {
        void* data = ::mmap(nullptr, view.size_, PROT_READ, MAP_PRIVATE, native_descriptor(view.file_), 0);
        if (data == MAP_FAILED) {
            view.size_ = 0;
            return win::from_errno(errno);
        }
        view.data_ = static_cast<const std::uint8_t*>(data);
        view.guard_slot_ = guard(view.data_, view.size_);
        if (view.guard_slot_ < 0) {
            return win::kErrorTooManyOpenFiles;
        }
        ::madvise(data, view.size_, MADV_SEQUENTIAL);
    }
    out = std::move(view);
    return win::kErrorSuccess;
}

DWORD FileView::open(std::wstring_view system_path, FileView& out) {
    File file;
    if (const DWORD error = File::open(system_path, {}, file); error != win::kErrorSuccess) {
        return error;
    }
    return open(file, out);
}

DWORD FileView::open_host(const std::filesystem::path& host_path, FileView& out) {
    File file;
    if (const DWORD error = File::open_host(host_path, {}, file); error != win::kErrorSuccess) {
        return error;
    }
    return open(file, out);
}

bool FileView::intact() const {
    if (guard_slot_ >= 0 && g_slots[guard_slot_].hit.load(std::memory_order_acquire)) {
        return false;
    }
    FileIdentity now;
    return file_.is_open() && file_.identity(now) == win::kErrorSuccess && now == identity_;
}

}  // namespace rk::sys
