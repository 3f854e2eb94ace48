#!/bin/sh
# Demo installer: records where it ran and with which arguments, then exits 3
# (so the updater reports "executesuccesswithexitcode:3"). scripts/demo.sh
# and the daemon's integration test sign it with the development certificate
# (an appended signature, after the final exit, which the shell never reads).
printf 'installer ran in %s with: %s\n' "$(pwd)" "$*" > installer-ran.txt
exit 3
