#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, test and demo.
# Idempotent: packages already present are skipped; apt-get update runs once
# per invocation and only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev lld
  # portability check of the sources (scripts/check-mingw.sh)
  g++-mingw-w64-x86-64-posix
  # libraries
  librapidxml-dev libpcre2-dev rapidjson-dev libcurl4-openssl-dev libssl-dev
  libsqlite3-dev libmspack-dev zlib1g-dev duktape-dev libsystemd-dev
  # build cache (kept between CI runs on the same machine)
  ccache
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  # fixtures and tools used by tests and the demo
  openssl osslsigncode gcab sqlite3 python3 procps
  # real servers and reference tools of tests and benchmarks
  nginx-light dbus-daemon cabextract curl
  # trace provider
  liblttng-ust-dev lttng-tools babeltrace2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
