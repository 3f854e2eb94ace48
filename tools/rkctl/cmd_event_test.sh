#!/usr/bin/env bash
# rkctl event end to end in a temporary root: the record of an event with
# and without its detail, an event that sends nothing, usage errors.
#   cmd_event_test.sh RKCTL
set -uo pipefail
rkctl=$1
source "$(dirname "$0")/test/checks.sh"
export RK_ROOT="$tmp/root"
mkdir -p "$RK_ROOT/var/lib/Corvane Lumora"
printf '[Brightscan]\r\nInstallSource=ops\r\n' >"$RK_ROOT/var/lib/Corvane Lumora/lbstate.ini"
# Nothing listens on port 1: the content update fails at once.
content=(--content-url https://127.0.0.1:1/products/lumora/Win/update_product.xml --delay 1)

expect 0 "event 67 with its detail" "$rkctl" event 67 preconditionsuccess "${content[@]}"
has out.txt '"Event.Action":"Precondition Check Success","Event.Category":"Life","Event.Label":"RkUpdaterModule","Hit.Label.1":"errcode:preconditionsuccess","Tracker.Type":"event","UniqueIdentifier":"lumora_rkupdater_precond_check_success"' "the record"
has out.txt '"hit_result":"unknown","hit_source":"ops"}' "the product state in the record"
has err.txt "ALE Engine Started successfully" "engine start"
has out.txt "[console] [INFO]: ALEScriptHostImpl is stopping with 1 second delay" "the stop waits for queued script work"
has err.txt "ALE Engine Unitialization successfully" "engine stop"

expect 0 "heart-beat without a detail" "$rkctl" event 65 "${content[@]}"
has out.txt '"UniqueIdentifier":"lumora_rkupdater_heartbeat"' "the heart-beat record"
hasnt out.txt 'Hit.Label.1' "no hit label for the heart-beat"
hasnt err.txt 'Data formed to track is' "no payload line without a detail"

expect 1 "an event the updater does not send" "$rkctl" event 97 "${content[@]}"
has out.txt "no record was sent for event 97" "the refusal"
has err.txt "ALE Engine Unitialization successfully" "the engine still stops"

expect 2 "no event" "$rkctl" event
expect 2 "not a number" "$rkctl" event sixty-seven
expect 2 "too many words" "$rkctl" event 67 a b
expect 2 "unknown option" "$rkctl" event 67 --fast

finish
