// The LTTng trace writer, loaded from its module on first use.
#include <cstdlib>
#include <string>

#include "platform/logging/etw_trace_writer.h"
#include "platform/system/program_modules.h"
#include "platform/system/shared_library.h"

namespace ETWLogging::internal {
namespace {

constexpr const char* kModuleFile = "librk_etw_lttng.so";
constexpr const char* kWriterFactory = "rk_etw_lttng_writer";

using WriterFactory = TraceWriterIf* (*)();

WriterFactory load_module() {
    // liblttng-ust reads every mapped library's ELF headers when it is loaded
    // (its base-address state dump, for address-to-symbol analyses we do not
    // record); a variable the operator set is kept.
    ::setenv("LTTNG_UST_WITHOUT_BADDR_STATEDUMP", "1", 0);
    static rk::sys::SharedLibrary module;
    std::string error;
    // Pinned: LTTng's threads run its code until the process ends.
    if (rk::sys::SharedLibrary::load(rk::sys::program_module_path(kModuleFile), true, module, error) != 0) {
        return nullptr;
    }
    return module.function<WriterFactory>(kWriterFactory);
}

}  // namespace

std::unique_ptr<TraceWriterIf> MakeTraceWriter() {
    static const WriterFactory factory = load_module();
    if (factory != nullptr) {
        if (TraceWriterIf* writer = factory()) {
            return std::unique_ptr<TraceWriterIf>(writer);
        }
    }
    return MakeNoTraceWriter();
}

bool TraceSystemAvailable() { return true; }

}  // namespace ETWLogging::internal
