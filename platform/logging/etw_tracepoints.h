/* LTTng-UST tracepoints of the ETW logger (C, shared by the probe provider
 * and the C++ call sites).
 *
 * rklogs:level1 .. rklogs:level5: the classic event of one line, one event per
 *   ETW level. LTTng log levels are assigned so that a higher product level is
 *   more severe; a session's --loglevel therefore selects the lowest product
 *   level it records (see docs/logging.md).
 * The structured event VKT:RKLOGS is in etw_tracepoints_vkt.h. */
#undef LTTNG_UST_TRACEPOINT_PROVIDER
#define LTTNG_UST_TRACEPOINT_PROVIDER rklogs

#undef LTTNG_UST_TRACEPOINT_INCLUDE
#define LTTNG_UST_TRACEPOINT_INCLUDE "platform/logging/etw_tracepoints.h"

#if !defined(RK_ETW_TRACEPOINTS_H) || defined(LTTNG_UST_TRACEPOINT_HEADER_MULTI_READ)
#define RK_ETW_TRACEPOINTS_H

#include <lttng/tracepoint.h>
#include <stdint.h>

#ifndef RK_ETW_CLASSIC_EVENT_STRUCT
#define RK_ETW_CLASSIC_EVENT_STRUCT
/* Strings are UTF-8 and NUL-terminated unless a length is given. */
struct rk_etw_classic_event {
    uint32_t pid;
    uint32_t tid;
    const char* image;
    const char* file;
    const char* function;
    uint32_t line;
    const char* module;
    const char* version;
    const char* group;
    uint64_t message_length;
    const char* message;
    const uint8_t* record;
    uint32_t record_length;
};

#endif

LTTNG_UST_TRACEPOINT_EVENT_CLASS(
    rklogs, line,
    LTTNG_UST_TP_ARGS(const struct rk_etw_classic_event*, ev),
    LTTNG_UST_TP_FIELDS(
        lttng_ust_field_integer(uint32_t, pid, ev->pid)
        lttng_ust_field_integer(uint32_t, tid, ev->tid)
        lttng_ust_field_string(image, ev->image)
        lttng_ust_field_string(file, ev->file)
        lttng_ust_field_string(function, ev->function)
        lttng_ust_field_integer(uint32_t, line, ev->line)
        lttng_ust_field_string(module, ev->module)
        lttng_ust_field_string(version, ev->version)
        lttng_ust_field_string(group, ev->group)
        lttng_ust_field_integer(uint64_t, message_length, ev->message_length)
        lttng_ust_field_sequence_text(char, message, ev->message, uint32_t, (uint32_t)ev->message_length)
        lttng_ust_field_sequence(uint8_t, record, ev->record, uint32_t, ev->record_length)))

#define RK_ETW_LEVEL_EVENT(name, loglevel)                                                          \
    LTTNG_UST_TRACEPOINT_EVENT_INSTANCE(rklogs, line, rklogs, name,                                 \
                                        LTTNG_UST_TP_ARGS(const struct rk_etw_classic_event*, ev)) \
    LTTNG_UST_TRACEPOINT_LOGLEVEL(rklogs, name, loglevel)

RK_ETW_LEVEL_EVENT(level1, LTTNG_UST_TRACEPOINT_LOGLEVEL_INFO)
RK_ETW_LEVEL_EVENT(level2, LTTNG_UST_TRACEPOINT_LOGLEVEL_NOTICE)
RK_ETW_LEVEL_EVENT(level3, LTTNG_UST_TRACEPOINT_LOGLEVEL_WARNING)
RK_ETW_LEVEL_EVENT(level4, LTTNG_UST_TRACEPOINT_LOGLEVEL_ERR)
RK_ETW_LEVEL_EVENT(level5, LTTNG_UST_TRACEPOINT_LOGLEVEL_CRIT)

#endif /* RK_ETW_TRACEPOINTS_H */

#include <lttng/tracepoint-event.h>
