#!/usr/bin/env bash
# Fails when an operating-system header (POSIX or Linux) is included outside
# the platform seam (platform/system/). Components call the seam; only the
# seam's *_posix.cpp files know the system.
#
# Allowed elsewhere (they are not part of a shipped component, or they are
# system-specific by nature):
#   *_test.cpp, *_test_child.cpp and test/ folders  tests and their helpers
#   bench/                                          benchmarks
#   tools/demo_server/                              the demo server
#   platform/logging/etw_trace*, etw_tracepoints*   the LTTng trace provider
set -euo pipefail
cd "$(dirname "$0")/.."

headers='unistd\.h|fcntl\.h|dlfcn\.h|pthread\.h|dirent\.h|poll\.h|netdb\.h|spawn\.h|termios\.h|pwd\.h|grp\.h'
headers+='|syslog\.h|sched\.h|semaphore\.h|libgen\.h|glob\.h|fnmatch\.h|ifaddrs\.h|link\.h|utmpx?\.h|wordexp\.h'
headers+='|sys/[^>]*|linux/[^>]*|arpa/[^>]*|netinet/[^>]*|net/[^>]*'

allowed() {
    case "$1" in
        platform/system/*) return 0 ;;
        *_test.cpp | *_test_child.cpp | */test/* | test/*) return 0 ;;
        bench/*) return 0 ;;
        tools/demo_server/*) return 0 ;;
        platform/logging/etw_trace_writer_lttng.cpp | platform/logging/etw_tracepoints*) return 0 ;;
    esac
    return 1
}

found=0
while IFS= read -r hit; do
    file=${hit%%:*}
    if ! allowed "$file"; then
        echo "check-seam: $hit"
        found=1
    fi
done < <(git ls-files -z --cached --others --exclude-standard -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
         xargs -0 grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($headers)>" || true)

if [ "$found" -ne 0 ]; then
    echo "check-seam: operating-system headers outside platform/system/: add the capability to the seam instead" >&2
    exit 1
fi
echo "check-seam: no operating-system header outside platform/system/"
