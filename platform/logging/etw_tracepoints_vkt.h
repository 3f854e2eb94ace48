/* LTTng-UST tracepoint of the ETW logger's structured event: provider "VKT",
 * event "RKLOGS", fields as the TraceLogging event has them. Recorded only
 * while the logger's flags have bit 0 set and a session enables it (it is a
 * verbose event: LTTng log level DEBUG). */
#undef LTTNG_UST_TRACEPOINT_PROVIDER
#define LTTNG_UST_TRACEPOINT_PROVIDER VKT

#undef LTTNG_UST_TRACEPOINT_INCLUDE
#define LTTNG_UST_TRACEPOINT_INCLUDE "platform/logging/etw_tracepoints_vkt.h"

#if !defined(RK_ETW_TRACEPOINTS_VKT_H) || defined(LTTNG_UST_TRACEPOINT_HEADER_MULTI_READ)
#define RK_ETW_TRACEPOINTS_VKT_H

#include <lttng/tracepoint.h>
#include <stdint.h>

#ifndef RK_ETW_STRUCTURED_EVENT_STRUCT
#define RK_ETW_STRUCTURED_EVENT_STRUCT
/* Strings are UTF-8 and NUL-terminated except the message (length given). */
struct rk_etw_structured_event {
    const char* group;
    const char* module;
    const char* version;
    const char* file;
    const char* function;
    uint32_t line;
    const char* message;
    uint32_t message_length;
};
#endif

LTTNG_UST_TRACEPOINT_EVENT(
    VKT, RKLOGS,
    LTTNG_UST_TP_ARGS(const struct rk_etw_structured_event*, ev),
    LTTNG_UST_TP_FIELDS(
        lttng_ust_field_string(Group, ev->group)
        lttng_ust_field_string(Module, ev->module)
        lttng_ust_field_string(Version, ev->version)
        lttng_ust_field_string(File, ev->file)
        lttng_ust_field_string(Function, ev->function)
        lttng_ust_field_integer(uint32_t, Line, ev->line)
        lttng_ust_field_sequence_text(char, Message, ev->message, uint32_t, ev->message_length)))

LTTNG_UST_TRACEPOINT_LOGLEVEL(VKT, RKLOGS, LTTNG_UST_TRACEPOINT_LOGLEVEL_DEBUG)

#endif /* RK_ETW_TRACEPOINTS_VKT_H */

#include <lttng/tracepoint-event.h>
