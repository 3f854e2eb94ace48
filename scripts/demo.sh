#!/usr/bin/env bash
# Installs what is needed, builds the release preset and runs the product's
# main job against a local stand-in for the maker's server:
#   1. rk-demo-server serves testdata/demo on https://127.0.0.1:8443 with the
#      development TLS certificate: the manifest and an installer signed with
#      the development code-signing certificate;
#   2. the daemon rkupdatermodule runs in a temporary root (RK_ROOT) with its
#      log on standard error until the installer has run;
#   3. what happened is shown, and everything started here is stopped.
# Analytics: every event of the pass starts the analytics engine; its
# bootstrap runs the signed content update document the server holds for the
# development profile's content address, which delivers the signed demo
# content script engine.js; engine.js POSTs each record to the server's
# collector (/collect), whose records of events 66, 67 and 71 are shown.
# Content trust: a private dbus-daemon stands in for the system bus, with
# rk-framework-service on it; trust content signed with the development
# certificate lists that certificate as the maker's, so the installer
# validation goes through the content-trust validator; the cache entry the
# service receives is shown at the end.
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

# The server's files: the manifest and the signed installer, the signed
# content update document and the signed content script.
mkdir -p "$work/serve" "$work/root/var/lib"
# The machine's temporary folder: trust content is unpacked there.
mkdir -p -m 1777 "$work/root/tmp"
cp testdata/demo/lmrupdate.xml "$work/serve/"
cat "$keys/intermediate.crt" "$keys/root.crt" >"$work/chain.pem"
"$bin/tools/rkctl/rkctl" sign-file testdata/demo/installer.sh --cert "$keys/codesign.crt" \
    --key "$keys/codesign.key.pem" --chain "$work/chain.pem" --out "$work/serve/Brightscan_Setup.exe"
"$bin/tools/rkctl/rkctl" sign-doc --key "$keys/document.key.pem" --out "$work/serve/update_product.xml" \
    testdata/demo/content/update_product.xml
"$bin/tools/rkctl/rkctl" sign-script --key "$keys/script.key.pem" --out "$work/serve/engine.js" \
    testdata/demo/content/engine.js

# The machine the daemon sees: a temporary root with the registry values the
# manifest's preconditions read.
export RK_ROOT="$work/root"
"$bin/tools/rkctl/rkctl" reg add 'HKLM\SOFTWARE\Corvane\Lumora' -v Version -d 2.1
"$bin/tools/rkctl/rkctl" reg add 'HKLM\SOFTWARE\Corvane\Lumora' -v AffId -d DEMO
# The product state the records carry (hit_source, hit_result).
mkdir -p "$RK_ROOT/var/lib/Corvane Lumora"
printf '[Brightscan]\r\nInstallSource=demo\r\n[LastScanResult]\r\nScanStatus=clean\r\n' \
    >"$RK_ROOT/var/lib/Corvane Lumora/lbstate.ini"

"$bin/tools/demo_server/rk-demo-server" --folder "$work/serve" --cert "$keys/tls.crt" \
    --key "$keys/tls.key.pem" --host 127.0.0.1 --port 8443 --collect "$work/collected.jsonl" \
    >"$work/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    grep -q serving "$work/server.log" && break
    if ! kill -0 "${pids[0]}" 2>/dev/null; then
        cat "$work/server.log" >&2
        exit 1
    fi
    sleep 0.1
done

# The framework service on a private bus standing in for the system bus.
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/system_bus.sock"
dbus-daemon --session --address="$DBUS_SYSTEM_BUS_ADDRESS" --nofork --nopidfile 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -S "$work/system_bus.sock" ] && break; sleep 0.1; done
"$bin/tools/framework_service/rk-framework-service" --bus system --print-cache >"$work/framework.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q serving "$work/framework.log" && break; sleep 0.1; done

# Trust content version 1: a cabinet signed with the development
# certificate whose content file lists that certificate as the maker's.
content="$RK_ROOT/var/lib/Corvane/KTV/content/av-trust/1"
mkdir -p "$content" "$work/trust"
thumbprint=$(openssl x509 -in "$keys/codesign.crt" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
printf '{"version":1,"certs":[{"hash":"%s","name":"Corvane Development","type":0}]}' "$thumbprint" \
    >"$work/trust/rk-av-trust.bin"
(cd "$work/trust" && gcab -c -z "$work/trust/unsigned.cab" rk-av-trust.bin)
cat "$keys/codesign.crt" "$keys/intermediate.crt" "$keys/root.crt" >"$work/trust/certs.pem"
osslsigncode sign -certs "$work/trust/certs.pem" -key "$keys/codesign.key.pem" -h sha256 \
    -in "$work/trust/unsigned.cab" -out "$content/rk-av-trust.cab" >/dev/null
cp "$work/trust/rk-av-trust.bin" "$content/"

echo "== rkupdatermodule (RK_ROOT=$RK_ROOT)"
RK_LOG_STDERR=1 RK_LOG_SEVERITY=1 "$bin/app/daemon/rkupdatermodule" 2>"$work/daemon.log" &
pids+=($!)
marker="$work/root/var/lib/CorvaneDemo/installer-ran.txt"
for _ in $(seq 600); do
    [ -s "$marker" ] && grep -q "dwnldexecute_" "$work/collected.jsonl" 2>/dev/null && break
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
echo "== analytics: the collector's records of events 66, 67 and 71"
for id in lumora_rkupdater_precond_check_started lumora_rkupdater_precond_check_success \
    lumora_rkupdater_dwnldexecute_success; do
    if ! grep -F "\"UniqueIdentifier\":\"$id\"" "$work/collected.jsonl"; then
        echo "no record $id at the collector" >&2
        exit 1
    fi
done | python3 -c '
import json, sys
for line in sys.stdin:
    record = json.loads(line)
    print(record["UniqueIdentifier"])
    for name in sorted(record):
        print("    %-26s %s" % (name, record[name]))'
echo "== analytics: the engine's lines"
grep -E "ALE Engine|engine.js|content update for|ALEScriptHostImpl" "$work/daemon.log" | sed -E 's/^[^ ]+ //' \
    | cut -c1-200 || true
echo "== content trust: the daemon's trust lines"
grep -E '\[trust\]|Binary validation' "$work/daemon.log" | sed -E 's/^[^ ]+ //' | cut -c1-240 || true
echo "== rkctl trust with --report: the framework service's cache receives the result"
"$bin/tools/rkctl/rkctl" trust "$work/serve/Brightscan_Setup.exe" --report || true
sleep 0.2
echo "== rk-framework-service"
cat "$work/framework.log"
echo "== a second instance in the same session exits at once with 0"
RK_LOG_STDERR=1 RK_LOG_SEVERITY=1 timeout 10 "$bin/app/daemon/rkupdatermodule" 2>&1 | sed -E 's/^[^ ]+ //'
echo "exit code: ${PIPESTATUS[0]}"
