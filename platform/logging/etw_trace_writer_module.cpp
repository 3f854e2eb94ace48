// The LTTng trace writer, loaded from its module when a logger first polls
// for sessions.
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/logging/etw_trace_writer.h"
#include "platform/system/environment.h"
#include "platform/system/program_modules.h"
#include "platform/system/shared_library.h"

namespace ETWLogging::internal {
namespace {

constexpr const char* kModuleFile = "librk_etw_lttng.so";
constexpr const char* kWriterFactory = "rk_etw_lttng_writer";
constexpr const char* kNoStateDumpVariable = "LTTNG_UST_WITHOUT_BADDR_STATEDUMP";

using WriterFactory = TraceWriterIf* (*)();

WriterFactory load_module() {
    // liblttng-ust reads every mapped library's ELF headers when it is loaded
    // (its base-address state dump, for address-to-symbol analyses we do not
    // record); a variable the operator set is kept.
    if (std::getenv(kNoStateDumpVariable) == nullptr) {
        rk::sys::set_environment_variable(kNoStateDumpVariable, "1");
    }
    static rk::sys::SharedLibrary module;
    std::string error;
    // Pinned: LTTng's threads run its code until the process ends.
    if (rk::sys::SharedLibrary::load(rk::sys::program_module_path(kModuleFile), true, module, error) != 0) {
        return nullptr;
    }
    return module.function<WriterFactory>(kWriterFactory);
}

std::unique_ptr<TraceWriterIf> load_writer() {
    static const WriterFactory factory = load_module();
    if (factory != nullptr) {
        if (TraceWriterIf* writer = factory()) {
            return std::unique_ptr<TraceWriterIf>(writer);
        }
    }
    return MakeNoTraceWriter();
}

// Loads the module at the first poll of sessions, which a logger makes when
// it starts: a process whose logger is built but never used (replaced before
// its first line, for one) maps neither liblttng-ust nor its threads. Events
// are asked for only after a poll saw a session, so until then the answers
// are "not enabled".
class DeferredTraceWriter final : public TraceWriterIf {
public:
    TraceSessionState Poll() const override {
        std::call_once(loaded_, [this] {
            owned_ = load_writer();
            ready_.store(owned_.get(), std::memory_order_release);
        });
        return owned_->Poll();
    }
    bool IsClassicEnabled(LogLevel etwLevel) const override {
        const TraceWriterIf* w = ready_.load(std::memory_order_acquire);
        return w != nullptr && w->IsClassicEnabled(etwLevel);
    }
    bool IsStructuredEnabled() const override {
        const TraceWriterIf* w = ready_.load(std::memory_order_acquire);
        return w != nullptr && w->IsStructuredEnabled();
    }
    void WriteClassic(const ClassicEvent& event) override {
        if (TraceWriterIf* w = ready_.load(std::memory_order_acquire)) {
            w->WriteClassic(event);
        }
    }
    void WriteStructured(const StructuredEvent& event) override {
        if (TraceWriterIf* w = ready_.load(std::memory_order_acquire)) {
            w->WriteStructured(event);
        }
    }

private:
    mutable std::once_flag loaded_;
    mutable std::unique_ptr<TraceWriterIf> owned_;
    mutable std::atomic<TraceWriterIf*> ready_{nullptr};
};

}  // namespace

std::unique_ptr<TraceWriterIf> MakeTraceWriter() { return std::make_unique<DeferredTraceWriter>(); }

bool TraceSystemAvailable() { return true; }

}  // namespace ETWLogging::internal
