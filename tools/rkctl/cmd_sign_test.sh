#!/usr/bin/env bash
# rkctl signing commands end to end: exit codes, key files from openssl, the
# profile's keys as defaults.   cmd_sign_test.sh RKCTL SOURCE_DIR
set -uo pipefail
rkctl=$1
src=$2
source "$(dirname "$0")/test/checks.sh"

printf 'function f() { return 1; }\r\n' > s.js
printf '<?xml version="1.0"?>\r\n<UpdateArray/>' > d.xml

expect 0 "keygen" "$rkctl" keygen k.pem p.pem
expect 2 "keygen keeps existing files" "$rkctl" keygen k.pem p.pem
expect 0 "sign-script" "$rkctl" sign-script --key k.pem --out s.signed.js s.js
expect 0 "verify-script with key" "$rkctl" verify-script --key p.pem s.signed.js
expect 0 "verify-script with the private key file" "$rkctl" verify-script --key k.pem s.signed.js
expect 1 "verify-script with the profile key" "$rkctl" verify-script s.signed.js
sed 's/return 1/return 2/' s.signed.js > s.bad.js
expect 1 "tampered script" "$rkctl" verify-script --key p.pem s.bad.js
failure_on_stderr() { # a failure is one message on stderr and nothing on stdout
  if [ -s out.txt ] || [ "$(wc -l <err.txt)" -ne 1 ] || ! grep -q "is not verified" err.txt; then
    fails=$((fails+1)); echo "FAIL: $1: not one message on stderr"; cat out.txt err.txt; fi
}
failure_on_stderr "tampered script"
expect 2 "missing file" "$rkctl" verify-script --key p.pem nothing.js
expect 2 "unknown option" "$rkctl" verify-script --bogus s.signed.js
expect 2 "sign without key" "$rkctl" sign-script s.js
expect 2 "bad form" "$rkctl" sign-doc --key k.pem --form odd d.xml

# Markup form is chosen for texts ending in "-->".
printf '<p>x</p><!-- end -->' > m.html
expect 0 "sign markup" "$rkctl" sign-script --key k.pem --out m.signed.html m.html
tail -c 3 m.signed.html | grep -q -- '-->' && passes=$((passes+1)) || { fails=$((fails+1)); echo "FAIL: markup ending"; }
expect 0 "verify markup" "$rkctl" verify-script --key p.pem m.signed.html

# Documents, both trailer forms, and keys made by the openssl command line.
openssl ecparam -name prime256v1 -genkey -noout -out ossl.pem 2>/dev/null
openssl ec -in ossl.pem -pubout -out ossl.pub 2>/dev/null
for form in xml plain; do
  expect 0 "sign-doc $form" "$rkctl" sign-doc --key ossl.pem --form $form --out d.$form d.xml
  expect 0 "verify-doc $form" "$rkctl" verify-doc --key ossl.pub d.$form
  expect 1 "verify-doc $form with another key" "$rkctl" verify-doc --key p.pem d.$form
  failure_on_stderr "verify-doc $form with another key"
done

# The development keys go with the profile compiled into this build.
expect 0 "dev document key" "$rkctl" sign-doc --key "$src/profile/dev-keys/document.key.pem" --out dev.xml d.xml
expect 0 "verify-doc default key" "$rkctl" verify-doc dev.xml
expect 0 "dev script key" "$rkctl" sign-script --key "$src/profile/dev-keys/script.key.pem" --out dev.js s.js
expect 0 "verify-script default key" "$rkctl" verify-script --quiet dev.js
expect 1 "document key is not the script key" "$rkctl" verify-script dev.xml

for c in keygen sign-script sign-doc verify-script verify-doc; do
  expect 0 "$c --help" "$rkctl" $c --help
done

finish
