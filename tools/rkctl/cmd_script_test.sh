#!/usr/bin/env bash
# rkctl script end to end: signed and unsigned scripts, results after
# timers, failures and their exit codes.   cmd_script_test.sh RKCTL SOURCE_DIR
set -uo pipefail
rkctl=$1
src=$2
key="$src/profile/dev-keys/script.key.pem"
source "$(dirname "$0")/test/checks.sh"
signed() { # name text
  printf '%s' "$2" > "$1.src"
  "$rkctl" sign-script --key "$key" --out "$1" "$1.src" || { echo "cannot sign $1"; exit 1; }
}

signed timers.js "var n = 0; timer.setTimeout(20, { OnTimeout: function () { result = 'late ' + (n + 2) + ' ' + typeof PluginFactory; } }); n = 1;"
expect 0 "signed script with a timer" "$rkctl" script timers.js
has out.txt "result: late 3 object" "the result after the timer"

printf "result = 'unsigned';" > unsigned.js
expect 1 "unsigned script refused" "$rkctl" script unsigned.js
has err.txt "Failed to parse the signature info buffer" "refusal logged"
expect 0 "unsigned script allowed" "$rkctl" script --unsigned-ok unsigned.js
has out.txt "result: unsigned" "unsigned result"

sed 's/late/LATE/' timers.js > tampered.js
expect 1 "tampered script refused" "$rkctl" script tampered.js
has err.txt "Signature Verification failed" "tampering logged"

signed throws.js "function f() { throw new TypeError('no such thing'); } f();"
expect 1 "throwing script" "$rkctl" script throws.js
has err.txt "TypeError: no such thing" "the script error on stderr"

signed loop.js "for (;;) {}"
expect 1 "runaway script" "$rkctl" script --timeout 200 loop.js
has err.txt "Script execution exceeded the time limit of 200 ms and was interrupted" "the interruption"

signed interval.js "timer.setInterval(5, { OnTimeout: function () { result = 'ticking'; } });"
expect 0 "endless interval stops at the time-out" "$rkctl" script --timeout 100 interval.js
has err.txt "stopped after 100 ms with" "the stop"
has out.txt "result: ticking" "the interval ran"

expect 2 "missing file" "$rkctl" script nothing.js
expect 2 "bad time-out" "$rkctl" script --timeout soon timers.js
expect 2 "unknown option" "$rkctl" script --fast timers.js
expect 2 "no file" "$rkctl" script

finish "rkctl script"
