/* The probe provider of the ETW logger's LTTng-UST tracepoints: defines the
 * tracepoints and registers their probes when the program starts. */
#define LTTNG_UST_TRACEPOINT_CREATE_PROBES
#define LTTNG_UST_TRACEPOINT_DEFINE
#include "platform/logging/etw_tracepoints.h"
#include "platform/logging/etw_tracepoints_vkt.h"
