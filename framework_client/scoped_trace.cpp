#include "framework_client/scoped_trace.h"

#include "framework_client/component_logger.h"
#include "framework_client/framework_words.h"

namespace ctp::detail {

namespace {
thread_local int t_depth = 0;
}

scoped_trace::scoped_trace(const char* component, const char* function)
    : component_(component), function_(function), depth_(++t_depth), start_(std::chrono::steady_clock::now()) {
    component_logger::instance().log(rk::log_level::kProgress, __FILE__, function_, __LINE__, kTraceEnter, component_,
                                     depth_, function_);
}

scoped_trace::~scoped_trace() {
    const long long ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    auto& logger = component_logger::instance();
    if (detail_.empty()) {
        logger.log(rk::log_level::kProgress, __FILE__, function_, __LINE__, kTraceExit, component_, depth_, function_,
                   ms);
    } else {
        std::wstring format = kTraceExit;
        format += L"%ls";
        logger.log(rk::log_level::kProgress, __FILE__, function_, __LINE__, format.c_str(), component_, depth_,
                   function_, ms, detail_);
    }
    --t_depth;
}

int scoped_trace::depth() { return t_depth; }

}  // namespace ctp::detail
