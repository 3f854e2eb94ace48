#!/usr/bin/env bash
# Test launcher of the sanitizer build. LeakSanitizer stops every thread of
# the process at exit to scan their stacks; its tracer itself sometimes
# crashes ("Tracer caught signal 11") when threads of loaded libraries are
# present, which is a fault of the runtime and says nothing about leaks.
# Such a run is repeated once; every other result is passed through as it is.
set -u
err=$(mktemp "${TMPDIR:-/tmp}/lsan-retry.XXXXXX") || exit 125
trap 'rm -f "$err"' EXIT
"$@" 2>"$err"
rc=$?
cat "$err" >&2
if [ "$rc" -ne 0 ] && grep -q 'Tracer caught signal' "$err" &&
    grep -q 'LeakSanitizer has encountered a fatal error' "$err"; then
    echo "lsan-retry: LeakSanitizer's tracer crashed at exit; running once more" >&2
    "$@"
    rc=$?
fi
exit "$rc"
