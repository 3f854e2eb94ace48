#!/usr/bin/env bash
# Compiles every portable source (not *_posix.cpp, not tests or benchmarks)
# with the Windows cross compiler, syntax only, so that a call or header only
# POSIX has is noticed outside the seam before a Windows backend exists.
#
#   scripts/check-mingw.sh [BUILD_DIR]
#
# BUILD_DIR (default build/debug) supplies the headers the configure step
# generates (generated/profile/profile_data.h, ...); run after configuring.
#
# Sources that reach a library of which no Windows build is installed here
# are skipped, with the reason; the Windows backend brings those libraries:
#   openssl/      OpenSSL 3 (crypto, code signatures)
#   pcre2.h       PCRE2 (document patterns)
#   curl/         libcurl (HTTP)
#   sqlite3.h     SQLite (registry store)
#   duktape.h duk_config.h   Duktape (script engine)
#   mspack.h      libmspack (cabinets)
#   zlib.h        zlib (MSZIP cabinet folders)
#   systemd/      sd-bus (local service IPC)
#   lttng/        LTTng-UST (trace provider)
# A source is skipped when the compiler stops at one of these headers
# (directly or through a project header); any other error fails the check.
set -euo pipefail
cd "$(dirname "$0")/.."

cxx=x86_64-w64-mingw32-g++-posix
build=${1:-build/debug}
if ! command -v "$cxx" >/dev/null; then
    echo "check-mingw: $cxx not found (package g++-mingw-w64-x86-64-posix; scripts/setup.sh installs it)" >&2
    exit 1
fi

# Header-only libraries whose headers serve every platform, offered alone
# (never the whole /usr/include, whose system headers are Linux's).
shared=$(mktemp -d)
trap 'rm -rf "$shared"' EXIT
for lib in rapidxml rapidjson; do
    if [ -d "/usr/include/$lib" ]; then ln -s "/usr/include/$lib" "$shared/$lib"; fi
done

# The standard library, parsed once: a precompiled header halves the time.
flags=(-std=c++20 -Wall -Wextra -Wpedantic -Werror -Wno-unknown-pragmas)
printf '#include <%s>\n' algorithm array atomic chrono condition_variable cstdint cstdio cstdlib cstring ctime \
    cwchar filesystem fstream functional map memory mutex optional set span sstream string string_view \
    system_error thread unordered_map variant vector >"$shared/std.h"
"$cxx" "${flags[@]}" -x c++-header "$shared/std.h" -o "$shared/std.h.gch"

skip_pattern='fatal error: (openssl/|pcre2\.h|curl/|sqlite3\.h|duktape\.h|duk_config\.h|mspack\.h|zlib\.h|systemd/|lttng/)'

mapfile -d '' sources < <(git ls-files -z -- '*.cpp' |
    grep -zvE '(_posix|_test|_test_child|_fuzz)\.cpp$|(^|/)test/|^bench/|^tools/demo_server/|^platform/logging/etw_trace_writer_lttng\.cpp$')

export cxx build shared skip_pattern
export flags_text="${flags[*]}"
check_one() {
    local out
    # shellcheck disable=SC2086
    if out=$("$cxx" $flags_text -fsyntax-only -Winvalid-pch -include "$shared/std.h" \
             -I. -I"$build/generated" -isystem "$shared" "$1" 2>&1); then
        echo "ok $1"
    elif grep -qE "$skip_pattern" <<<"$out" && [ "$(grep -c 'error:' <<<"$out")" -eq 1 ]; then
        echo "skip $1 ($(grep -oE "$skip_pattern[^:]*" <<<"$out" | head -1 | sed 's/fatal error: //'))"
    else
        echo "FAIL $1"
        printf '%s\n' "$out" | head -20 | sed 's/^/    /'
    fi
}
export -f check_one

results=$(printf '%s\0' "${sources[@]}" | xargs -0 -P2 -n1 bash -c 'check_one "$1"' _)
printf '%s\n' "$results" | grep -v '^ok ' || true
ok=$(grep -c '^ok ' <<<"$results" || true)
skipped=$(grep -c '^skip ' <<<"$results" || true)
failed=$(grep -c '^FAIL ' <<<"$results" || true)
echo "check-mingw: $ok compiled, $skipped skipped (library without Windows headers here), $failed failed"
[ "$failed" -eq 0 ]
