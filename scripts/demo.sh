#!/usr/bin/env bash
# Installs what is needed, builds the release preset and runs the product's
# main job against a local stand-in for the maker's server:
#   1. rk-demo-server serves testdata/demo on https://127.0.0.1:8443 with the
#      development TLS certificate: the manifest and an installer signed with
#      the development code-signing certificate;
#   2. the daemon rkupdatermodule runs in a temporary root (RK_ROOT) with its
#      log on standard error until the installer has run;
#   3. what happened is shown, and everything started here is stopped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

bin="$root/build/release"
keys="$root/profile/dev-keys"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# The server's files: the manifest and the signed installer.
mkdir -p "$work/serve" "$work/root/var/lib"
cp testdata/demo/lmrupdate.xml "$work/serve/"
cat "$keys/intermediate.crt" "$keys/root.crt" >"$work/chain.pem"
"$bin/tools/rkctl/rkctl" sign-file testdata/demo/installer.sh --cert "$keys/codesign.crt" \
    --key "$keys/codesign.key.pem" --chain "$work/chain.pem" --out "$work/serve/Brightscan_Setup.exe"

# The machine the daemon sees: a temporary root with the registry values the
# manifest's preconditions read.
export RK_ROOT="$work/root"
"$bin/tools/rkctl/rkctl" reg add 'HKLM\SOFTWARE\Corvane\Lumora' -v Version -d 2.1
"$bin/tools/rkctl/rkctl" reg add 'HKLM\SOFTWARE\Corvane\Lumora' -v AffId -d DEMO

"$bin/tools/demo_server/rk-demo-server" --folder "$work/serve" --cert "$keys/tls.crt" \
    --key "$keys/tls.key.pem" --host 127.0.0.1 --port 8443 >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    grep -q serving "$work/server.log" && break
    if ! kill -0 "${pids[0]}" 2>/dev/null; then
        cat "$work/server.log" >&2
        exit 1
    fi
    sleep 0.1
done

echo "== rkupdatermodule (RK_ROOT=$RK_ROOT)"
RK_LOG_STDERR=1 RK_LOG_SEVERITY=1 "$bin/app/daemon/rkupdatermodule" 2>"$work/daemon.log" &
pids+=($!)
marker="$work/root/var/lib/CorvaneDemo/installer-ran.txt"
for _ in $(seq 300); do
    [ -s "$marker" ] && grep -q "TrackEvent completed for event: 71s\|event: 70s" "$work/daemon.log" && break
    sleep 0.1
done
sleep 0.2

echo "== daemon log"
sed -E 's/^[^ ]+ //' "$work/daemon.log"
echo "== demo server"
cat "$work/server.log"
echo "== installer marker ($marker)"
if [ -s "$marker" ]; then
    cat "$marker"
else
    echo "the installer did not run" >&2
    exit 1
fi
echo "== a second instance in the same session exits at once with 0"
RK_LOG_STDERR=1 RK_LOG_SEVERITY=1 timeout 10 "$bin/app/daemon/rkupdatermodule" 2>&1 | sed -E 's/^[^ ]+ //'
echo "exit code: ${PIPESTATUS[0]}"
