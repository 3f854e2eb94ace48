#!/usr/bin/env bash
# Builds the release preset and runs every goal benchmark with short
# settings, then prints one table: what was measured, the figure, the goal
# and whether it is met. A few minutes on the 2-core machine.
#   bench/run.sh [REGEX]     only the rows whose label matches REGEX
# Exit status 0 when every row that ran meets its goal.
#
# Rows are "label | benchmark binary | benchmark name (regex) | counter |
# goal": the counter is a field of the benchmark's JSON entry (its custom
# counters, or real_time/cpu_time), the goal "<= N" or ">= N". Benchmarks
# sharing a binary run together in one process. Add a row per goal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
filter=${1:-}

ROWS=$(cat <<'EOF'
daemon sleeping after a pass: RSS (MiB)        | rk_daemon_bench            | BM_DaemonResidentWhileSleeping/  | rss_mib       | <= 12
daemon sleeping after a pass: anonymous (MiB)  | rk_daemon_bench            | BM_DaemonResidentWhileSleeping/  | anon_mib      | <= 2
second daemon finds the first and exits (ms)   | rk_daemon_bench            | BM_SecondDaemonExits/            | ms            | <= 30
rkctl --help wall time (ms)                    | rk_startup_bench           | BM_RkctlHelp/                    | ms            | <= 20
rkctl info wall time (ms)                      | rk_startup_bench           | BM_RkctlInfo/                    | ms            | <= 20
XML engine ExecuteUpdate, 10k updates / rapidxml | rk_xml_updater_bench     | BM_ExecuteUpdate10kUpdates        | ratio         | <= 3
manifest parse+distribute 1 KB / rapidxml      | rk_manifest_bench          | BM_ManifestVsRapidXml/0$          | ratio         | <= 3
manifest parse+distribute 10k SETVAR / rapidxml | rk_manifest_bench         | BM_ManifestVsRapidXml/10000$      | ratio         | <= 3
registry open+query+close / bare SQLite        | rk_registry_bench          | BM_OpenQueryCloseVsSqlite$        | ratio         | <= 1.5
registry enumerate 200k values / one SQL query | rk_registry_bench          | BM_EnumValuesVsSqlite/           | ratio         | <= 2
file logger, one line (us CPU)                 | rk_logging_backends_bench  | BM_FileLogger/min_time          | cpu_time      | <= 5
installer download 200 MB / curl -k -o (worst run) | rk_installer_tools_bench | BM_DownloadVsCurl/       | worst_ratio   | >= 0.95
rkctl verify-file 64 MiB PE / osslsigncode verify | rk_installer_tools_bench | BM_VerifyFileVsOsslsigncode/ | ratio       | <= 0.8
DOWNLOADEX 200 MB from nginx / curl -k -o     | rk_web_cache_bench         | BM_Download200MB/                | downloadex_vs_curl  | >= 0.9
StoreOnDisk 200 MB from nginx / curl -k -o    | rk_web_cache_bench         | BM_Download200MB/                | storeondisk_vs_curl | >= 0.9
DOWNLOADEX resumed after a cut at half: share of the file sent | rk_web_cache_bench | BM_ResumeAfterCutAtHalf/ | fraction_of_file | <= 0.5
rkctl reg import 48 MB: peak / input           | rk_operator_inputs_bench   | BM_RegImportPeak/                 | peak_per_input | <= 4
rkctl xml 16 MB typical document: peak / input | rk_operator_inputs_bench   | BM_XmlPeakTypical/                | peak_per_input | <= 4
rkctl xml 16 MB dense document: peak / input   | rk_operator_inputs_bench   | BM_XmlPeakDense/                  | peak_per_input | <= 10
EOF
)

trim() { sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//'; }

selected=()
while IFS= read -r row; do
    [ -z "$row" ] && continue
    label=$(cut -d'|' -f1 <<<"$row" | trim)
    if [ -n "$filter" ] && ! grep -Eq -- "$filter" <<<"$label"; then
        continue
    fi
    selected+=("$row")
done <<<"$ROWS"

binaries=()
for row in "${selected[@]}"; do
    binaries+=("$(cut -d'|' -f2 <<<"$row" | trim)")
done
mapfile -t binaries < <(printf '%s\n' "${binaries[@]}" | sort -u)

bash scripts/setup.sh >/dev/null
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target "${binaries[@]}"

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for bin in "${binaries[@]}"; do
    path=$(find build/release -type f -name "$bin" -perm -u+x | head -1)
    if [ -z "$path" ]; then
        echo "run.sh: $bin was not built" >&2
        continue
    fi
    names=()
    for row in "${selected[@]}"; do
        [ "$(cut -d'|' -f2 <<<"$row" | trim)" = "$bin" ] && names+=("$(cut -d'|' -f3 <<<"$row" | trim)")
    done
    regex=$(IFS='|'; echo "${names[*]}")
    echo "== $bin ($regex)" >&2
    RK_BENCH_SHORT=1 "$path" --benchmark_filter="$regex" --benchmark_min_time=0.2 \
        --benchmark_format=json >"$out/$bin.json" 2>"$out/$bin.err" || {
        echo "run.sh: $bin failed:" >&2
        tail -5 "$out/$bin.err" >&2
    }
done

printf '%s\n' "${selected[@]}" >"$out/rows"
python3 - "$out" <<'PY'
import json, os, re, sys
out = sys.argv[1]
with open(os.path.join(out, 'rows')) as f:
    rows = [[c.strip() for c in line.split('|')] for line in f if line.strip()]
width = max(len(r[0]) for r in rows)
print(f"\n{'what':<{width}}  {'measured':>10}  {'goal':>8}  result")
failed = False
for label, binary, name, counter, goal in rows:
    value = None
    try:
        with open(os.path.join(out, binary + '.json')) as f:
            entries = json.load(f)['benchmarks']
        for e in entries:
            if re.search(name, e['name']) and counter in e and not e.get('error_occurred'):
                value = float(e[counter])
                break
    except (OSError, ValueError, KeyError):
        pass
    op, limit = goal.split()
    if value is None:
        print(f"{label:<{width}}  {'n/a':>10}  {goal:>8}  not measured")
        continue
    ok = value <= float(limit) if op == '<=' else value >= float(limit)
    failed |= not ok
    print(f"{label:<{width}}  {value:>10.3g}  {goal:>8}  {'ok' if ok else 'MISSED'}")
sys.exit(1 if failed else 0)
PY
