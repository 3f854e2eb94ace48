#!/usr/bin/env bash
# Builds the fuzz preset and runs one or every libFuzzer target with its seed
# corpus and dictionary.
#
#   scripts/fuzz.sh [TARGET] [SECONDS] [RUN]
#                                          TARGET: a name such as rk_paths_fuzz,
#                                          or "all" (default); SECONDS per target
#                                          (default 60); RUN: a label (1-99) for
#                                          another run of the same target beside
#                                          the first one
#   scripts/fuzz.sh --list                 the targets, their corpora and dictionaries
#
# Grown corpora go to fuzz-corpus-<target>/ at the top of the tree and findings
# (crash-*, leak-*, timeout-*, oom-*) to fuzz-corpus-findings/; both are ignored
# by git (.gitignore: /fuzz-corpus-*/). The seed corpus beside the target is
# only read. A second run of one target beside the first (RUN 2) shares its
# grown corpus, so each picks up the inputs the other adds, and logs to
# fuzz-corpus-findings/<target>.2.log. Runs are niced (nice -n 19) and use one job: the machine is shared.
# Each run gets a scratch folder on tmpfs (/dev/shm when writable), removed
# afterwards: RK_ROOT points into it, so whatever a target logs or stores
# stays out of the machine's real folders, and so does TMPDIR, so the files a
# target writes cost no disk I/O. ASAN_OPTIONS defaults to a 16 MB quarantine
# (ASan's 256 MB touches fresh memory on every allocation; one execution
# frees far less than 16 MB, so a use after free is still caught).
# Each run prints a row for docs/fuzzing.md: target, executions, date, commit,
# findings.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
build="$root/build/fuzz"
target="${1:-all}"
seconds="${2:-60}"
run="${3:-1}"

# name<TAB>source folder<TAB>source file, from every rk_fuzz() call.
targets() {
    grep -rn --include=CMakeLists.txt -E '^\s*rk_fuzz\(' . | grep -v '^./build' |
        sed -E 's|^\./(.*)/CMakeLists.txt:[0-9]+:\s*rk_fuzz\(([A-Za-z0-9_]+) SOURCES ([A-Za-z0-9_./]+).*|\2\t\1\t\3|' |
        sort
}

# The seed corpus and dictionary of a target: <stem>_corpus or corpus, and
# <stem>.dict, beside its source (stem: the source name without _fuzz.cpp).
# A <stem>.seeds file there lists more seed folders (one per line, relative
# to the top of the tree), e.g. the signed fixtures for the signature parsers.
seed_corpus() {
    local dir="$1" stem="$2"
    if [[ -d "$dir/${stem}_corpus" ]]; then echo "$dir/${stem}_corpus"
    elif [[ -d "$dir/corpus" ]]; then echo "$dir/corpus"
    fi
}
dictionary() {
    local dir="$1" stem="$2"
    if [[ -f "$dir/$stem.dict" ]]; then echo "$dir/$stem.dict"; fi
}

if [[ "$target" == "--list" ]]; then
    while IFS=$'\t' read -r name dir source; do
        stem="$(basename "$source" .cpp)"; stem="${stem%_fuzz}"
        printf '%-32s %-40s %s\n' "$name" "$(seed_corpus "$dir" "$stem")" "$(dictionary "$dir" "$stem")"
    done < <(targets)
    exit 0
fi
if ! [[ "$seconds" =~ ^[0-9]+$ && "$run" =~ ^[1-9][0-9]?$ ]] || (( seconds == 0 )); then
    echo "usage: scripts/fuzz.sh [TARGET|all|--list] [SECONDS] [RUN 1-99]" >&2
    exit 2
fi

mapfile -t selected < <(targets | awk -F'\t' -v t="$target" 't == "all" || $1 == t')
if (( ${#selected[@]} == 0 )); then
    echo "fuzz.sh: no fuzz target named '$target' (scripts/fuzz.sh --list)" >&2
    exit 2
fi

names=()
for line in "${selected[@]}"; do names+=("$(cut -f1 <<<"$line")"); done
# Two runs side by side share the build tree: one configures and builds at a time.
mkdir -p "$build"
{
    flock 9
    cmake --preset fuzz >/dev/null
    nice -n 19 cmake --build --preset fuzz -j2 --target "${names[@]}"
} 9>"$build/.fuzz-build.lock"

commit="$(git rev-parse --short HEAD)"
date="$(date -u +%Y-%m-%d)"
findings_dir="$root/fuzz-corpus-findings"
mkdir -p "$findings_dir"
scratch_base=/dev/shm
[[ -d "$scratch_base" && -w "$scratch_base" ]] || scratch_base="${TMPDIR:-/tmp}"
scratch=""
trap '[[ -n "$scratch" ]] && rm -rf "$scratch"' EXIT
status=0
echo "| target | executions | date | commit | findings |"
echo "|---|---|---|---|---|"
for line in "${selected[@]}"; do
    IFS=$'\t' read -r name dir source <<<"$line"
    stem="$(basename "$source" .cpp)"; stem="${stem%_fuzz}"
    binary="$(find "$build" -type f -name "$name" -perm -u+x | head -n1)"
    if [[ -z "$binary" ]]; then
        echo "fuzz.sh: $name was not built" >&2
        status=1
        continue
    fi
    grown="$root/fuzz-corpus-$name"
    mkdir -p "$grown"
    args=(-max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048
          -artifact_prefix="$findings_dir/$name-")
    dict="$(dictionary "$dir" "$stem")"
    [[ -n "$dict" ]] && args+=(-dict="$dict")
    corpora=("$grown")
    seeds="$(seed_corpus "$dir" "$stem")"
    [[ -n "$seeds" ]] && corpora+=("$seeds")
    if [[ -f "$dir/$stem.seeds" ]]; then
        while read -r extra; do
            [[ -n "$extra" && -d "$root/$extra" ]] && corpora+=("$root/$extra")
        done <"$dir/$stem.seeds"
    fi
    before="$(find "$findings_dir" -maxdepth 1 -name "$name-*" | wc -l)"
    log="$findings_dir/$name.log"
    (( run > 1 )) && log="$findings_dir/$name.$run.log"
    scratch="$(mktemp -d "$scratch_base/rk-fuzz-$name.XXXXXX")"
    mkdir "$scratch/root" "$scratch/tmp"
    set +e
    RK_ROOT="$scratch/root" TMPDIR="$scratch/tmp" ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16}" \
        nice -n 19 "$binary" "${args[@]}" "${corpora[@]}" >"$log" 2>&1
    code=$?
    set -e
    rm -rf "$scratch"
    scratch=""
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)"
    after="$(find "$findings_dir" -maxdepth 1 -name "$name-*" | wc -l)"
    found=$((after - before))
    if (( code != 0 || found > 0 )); then
        status=1
        verdict="$found finding(s), exit $code: see $log"
    else
        verdict="none"
    fi
    echo "| $name | ${executions:-?} | $date | $commit | $verdict |"
done
exit "$status"
