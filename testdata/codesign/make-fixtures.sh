#!/usr/bin/env bash
# Builds the code-signing test PKI and the signed fixtures in this folder.
# DEVELOPMENT ONLY: every private key made here is committed on purpose.
#
#   testdata/codesign/make-fixtures.sh            rebuild pki/ and fixtures/
#
# The accepted signers chain to the development root profile/dev-keys/root.crt
# (pinned by profile/development.json) through the development intermediate,
# so the development profile accepts them. Everything else is made here with
# fixed validity dates, so timestamps in the past stay verifiable:
#
#   pki/foreign       leaf "Foreign Software Ltd" under the pinned root (name not accepted)
#   pki/expired       leaf "Corvane Development", valid only during 2024
#   pki/tsa           RFC 3161 timestamping authority under the pinned root
#   pki/unpinned-root a second root that no profile pins
#   pki/unpinned      leaf "Corvane Development" under that root
#   pki/ec-inter      P-256 intermediate under the pinned root
#   pki/ec-leaf       P-256 leaf "Corvane Development" (its chain is ECDSA-signed)
#
# Tools: openssl, osslsigncode >= 2.9 (offline -TSA-* timestamps), gcab,
# python3. Set RKCTL to an rkctl binary to also make timestamped appended
# signatures (rkctl sign-file --tsa-*); without it those fixtures are kept.
set -euo pipefail
export TZ=UTC

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
dev="$repo/profile/dev-keys"
pki="$here/pki"
fx="$here/fixtures"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

start=20240101000000Z
end=20491231235959Z
ts_time=1717200000   # 2024-06-01T00:00:00Z, inside the expired leaf's validity

rm -rf "$pki" "$fx"
mkdir -p "$pki" "$fx"

export CA_DIR="$work"  # the signing database of scripts/dev-pki.cnf
: > "$work/index.txt"
echo 2000 > "$work/serial"

key() { # name rsa|ec
  if [ "$2" = ec ]; then
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$pki/$1.key.pem" 2>/dev/null
  else
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$pki/$1.key.pem" 2>/dev/null
  fi
}
cert() { # name subject issuer-crt|self issuer-key ext [start end]
  local s=${6:-$start} e=${7:-$end}
  openssl req -new -key "$pki/$1.key.pem" -subj "$2" -out "$work/$1.csr"
  if [ "$3" = self ]; then
    openssl ca -batch -notext -config "$repo/scripts/dev-pki.cnf" -selfsign -keyfile "$4" -in "$work/$1.csr" \
      -out "$pki/$1.crt" -extensions "$5" -startdate "$s" -enddate "$e" 2>/dev/null
  else
    openssl ca -batch -notext -config "$repo/scripts/dev-pki.cnf" -cert "$3" -keyfile "$4" -in "$work/$1.csr" \
      -out "$pki/$1.crt" -extensions "$5" -startdate "$s" -enddate "$e" 2>/dev/null
  fi
}

root="$dev/root.crt"; root_key="$dev/root.key.pem"
inter="$dev/intermediate.crt"; inter_key="$dev/intermediate.key.pem"
cp "$dev/codesign.crt" "$pki/corvane.crt"; cp "$dev/codesign.key.pem" "$pki/corvane.key.pem"
key foreign rsa;  cert foreign "/O=Foreign Software Ltd/CN=Foreign Software Ltd" "$inter" "$inter_key" v3_codesign
key expired rsa;  cert expired "/O=Corvane Development/CN=Corvane Development" "$inter" "$inter_key" v3_codesign \
  20240101000000Z 20241231235959Z
key tsa rsa;      cert tsa "/O=Corvane Development/CN=Corvane Development Test Timestamping" "$root" "$root_key" v3_tsa
key unpinned-root rsa
cert unpinned-root "/O=Corvane Development/CN=Corvane Test Unpinned Root" self "$pki/unpinned-root.key.pem" v3_root
key unpinned rsa; cert unpinned "/O=Corvane Development/CN=Corvane Development" "$pki/unpinned-root.crt" \
  "$pki/unpinned-root.key.pem" v3_codesign
key ec-inter ec;  cert ec-inter "/O=Corvane Development/CN=Corvane Development EC Code Signing CA" "$root" "$root_key" v3_inter
key ec-leaf ec;   cert ec-leaf "/O=Corvane Development/CN=Corvane Development" "$pki/ec-inter.crt" \
  "$pki/ec-inter.key.pem" v3_codesign

# Chains given to the signers: leaf, intermediate, root (the verifier takes
# the root from the signature; the pin on its thumbprint is the trust).
cp "$root" "$pki/pinned-root.crt"
for l in corvane foreign expired; do cat "$pki/$l.crt" "$inter" "$root" > "$pki/$l-chain.pem"; done
cat "$pki/unpinned.crt" "$pki/unpinned-root.crt" > "$pki/unpinned-chain.pem"
cat "$pki/ec-leaf.crt" "$pki/ec-inter.crt" "$root" > "$pki/ec-leaf-chain.pem"
cat "$pki/tsa.crt" "$root" > "$pki/tsa-chain.pem"
cp "$inter" "$pki/intermediate.crt"
cat "$inter" "$root" > "$pki/pinned-cas.pem"     # the certificates above a pinned leaf

# Unsigned inputs.
python3 "$here/make_pe.py" "$fx/pe-unsigned.exe" --version 1.2.3.4 --tail 100
python3 "$here/make_pe.py" "$fx/pe32-unsigned.exe" --pe32 --version 1.2.3.4
mkdir -p "$work/cab/sub"
printf 'first file\n' > "$work/cab/a.txt"
printf 'second file, in a folder\n' > "$work/cab/sub/b.txt"
touch -d '2024-05-01 12:00:00' "$work/cab/a.txt" "$work/cab/sub/b.txt"
(cd "$work/cab" && gcab -c -z "$fx/cab-unsigned.cab" a.txt sub/b.txt)
python3 - "$fx/elf-unsigned" <<'PY'
import struct, sys
# A minimal x86-64 ELF program that exits with status 0.
code = bytes([0x31, 0xff, 0xb8, 0x3c, 0, 0, 0, 0x0f, 0x05])  # xor edi,edi; mov eax,60; syscall
base, off = 0x400000, 64 + 56
eh = b"\x7fELF" + bytes([2, 1, 1, 0]) + b"\0" * 8
eh += struct.pack("<HHIQQQIHHHHHH", 2, 0x3E, 1, base + off, 64, 0, 0, 64, 56, 1, 0, 0, 0)
ph = struct.pack("<IIQQQQQQ", 1, 5, 0, base, base, off + len(code), off + len(code), 0x1000)
open(sys.argv[1], "wb").write(eh + ph + code)
PY
chmod +x "$fx/elf-unsigned"

ts=(-TSA-certs "$pki/tsa-chain.pem" -TSA-key "$pki/tsa.key.pem" -TSA-time $ts_time)
osign() { # in out leaf [extra...]
  local in=$1 out=$2 leaf=$3; shift 3
  osslsigncode sign -certs "$pki/$leaf-chain.pem" -key "$pki/$leaf.key.pem" -h sha256 \
    -n "Signing test" -time $ts_time "$@" -in "$in" -out "$out" >/dev/null
}
for kind in pe cab; do
  ext=exe; [ $kind = cab ] && ext=cab
  u="$fx/$kind-unsigned.$ext"
  osign "$u" "$fx/$kind-signed.$ext" corvane "${ts[@]}"
  osign "$u" "$fx/$kind-signed-nots.$ext" corvane
  osign "$u" "$fx/$kind-expired-ts.$ext" expired "${ts[@]}"
  osign "$u" "$fx/$kind-expired-nots.$ext" expired
  osign "$u" "$fx/$kind-foreign.$ext" foreign "${ts[@]}"
  osign "$u" "$fx/$kind-unpinned.$ext" unpinned "${ts[@]}"
  osign "$fx/$kind-foreign.$ext" "$fx/$kind-nested.$ext" corvane -nest "${ts[@]}"
  osign "$u" "$fx/$kind-foreign-nested-foreign.$ext" foreign
  osign "$fx/$kind-foreign-nested-foreign.$ext" "$work/x.$ext" unpinned -nest
  mv "$work/x.$ext" "$fx/$kind-foreign-nested-foreign.$ext"
done
osign "$fx/pe32-unsigned.exe" "$fx/pe32-signed.exe" corvane "${ts[@]}"
osign "$fx/pe-unsigned.exe" "$fx/pe-ecdsa.exe" ec-leaf "${ts[@]}"
osign "$fx/pe-unsigned.exe" "$fx/pe-sha1.exe" corvane -h sha1

# Appended signatures: content, DER PKCS #7, 12-byte info block, marker.
append() { # in out signer-args...
  local in=$1 out=$2; shift 2
  openssl cms -sign -binary -noattr -nosmimecap -md sha256 -outform DER -in "$in" -out "$work/sig.der" "$@"
  python3 - "$in" "$work/sig.der" "$out" <<'PY'
import struct, sys
content = open(sys.argv[1], "rb").read()
sig = open(sys.argv[2], "rb").read()
info = struct.pack(">BBBBB3xI", 0, 0, 2, 0, 0, len(sig))
open(sys.argv[3], "wb").write(content + sig + info + b"~Module signature appended~\n")
PY
}
signer() { echo -signer "$pki/$1.crt" -inkey "$pki/$1.key.pem"; }
append "$fx/elf-unsigned" "$fx/elf-signed" $(signer corvane) -certfile "$pki/pinned-cas.pem"
append "$fx/elf-unsigned" "$fx/elf-expired-nots" $(signer expired) -certfile "$pki/pinned-cas.pem"
append "$fx/elf-unsigned" "$fx/elf-foreign" $(signer foreign) -certfile "$pki/pinned-cas.pem"
append "$fx/elf-unsigned" "$fx/elf-unpinned" $(signer unpinned) -certfile "$pki/unpinned-root.crt"
append "$fx/elf-unsigned" "$fx/elf-second-signer" $(signer foreign) $(signer corvane) \
  -certfile "$pki/pinned-cas.pem"
cat "$pki/ec-inter.crt" "$root" > "$work/ec-cas.pem"
append "$fx/elf-unsigned" "$fx/elf-ecdsa" $(signer ec-leaf) -certfile "$work/ec-cas.pem"
if [ -n "${RKCTL:-}" ]; then
  tsa=(--tsa-cert "$pki/tsa.crt" --tsa-key "$pki/tsa.key.pem" --tsa-chain "$pki/tsa-chain.pem" --tsa-time $ts_time)
  "$RKCTL" sign-file --cert "$pki/corvane.crt" --key "$pki/corvane.key.pem" --chain "$pki/pinned-cas.pem" \
    "${tsa[@]}" --out "$fx/elf-signed-ts" "$fx/elf-unsigned"
  "$RKCTL" sign-file --cert "$pki/expired.crt" --key "$pki/expired.key.pem" --chain "$pki/pinned-cas.pem" \
    "${tsa[@]}" --out "$fx/elf-expired-ts" "$fx/elf-unsigned"
fi
echo "fixtures in $fx"
