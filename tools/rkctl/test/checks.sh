# Sourced by the rkctl end-to-end scripts: a temporary working folder
# (removed on exit, the current folder from here on) and counted checks.
# Each check runs or reads out.txt/err.txt; `finish` prints the counts and
# is the script's exit status.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 1
fails=0
passes=0
expect() { # code description command...
  local want=$1 what=$2; shift 2
  "$@" >out.txt 2>err.txt
  local got=$?
  if [ "$got" -eq "$want" ]; then passes=$((passes+1)); else
    fails=$((fails+1)); echo "FAIL: $what: exit $got, want $want"; cat out.txt err.txt; fi
}
has() { # file text description
  if grep -qF -- "$2" "$1"; then passes=$((passes+1)); else
    fails=$((fails+1)); echo "FAIL: $3: '$2' not in $1"; cat out.txt err.txt; fi
}
hasnt() { # file text description
  if ! grep -qF -- "$2" "$1"; then passes=$((passes+1)); else
    fails=$((fails+1)); echo "FAIL: $3: '$2' in $1"; cat out.txt err.txt; fi
}
finish() { # [label]
  echo "${1:+$1: }$passes passed, $fails failed"
  [ "$fails" -eq 0 ]
}
