#!/usr/bin/env bash
# Signs both builds of Update.exe with a throw-away certificate authority,
# verifies each signature against it, and runs the end-to-end tests on the
# signed build that this machine can execute.
#   sign-test.sh SOURCE_DIR WORK_DIR END_TO_END_TEST EXE...   (the runnable one first)
set -euo pipefail
source_dir=$1 work=$2 end_to_end=$3
shift 3
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# The authority and a code-signing certificate it issued.
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throw-away test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Test publisher" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 -extfile signer.ext \
    -out signer.pem 2>/dev/null
printf 'secret\n' >password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout file:password -out signer.p12

signed=()
for exe in "$@"; do
    name=$(basename "$(dirname "$(dirname "$exe")")")
    # Once from a certificate and key, once from a PKCS#12 file.
    "$source_dir/scripts/sign" --cert signer.pem --key signer.key "$exe" "$name-pem.exe"
    "$source_dir/scripts/sign" --pkcs12 signer.p12 --password-file password "$exe" "$name.exe"
    for file in "$name-pem.exe" "$name.exe"; do
        osslsigncode verify -CAfile ca.pem -in "$file" >"$file.verify" 2>&1 \
            || { cat "$file.verify"; echo "sign-test: $file does not verify"; exit 1; }
        grep -q 'Signature verification: ok' "$file.verify" || { cat "$file.verify"; exit 1; }
        grep -q 'Subject: /CN=Test publisher' "$file.verify" || { cat "$file.verify"; exit 1; }
    done
    # Another authority does not vouch for it.
    if [ ! -e other.pem ]; then
        openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj "/CN=Other CA" \
            2>/dev/null
    fi
    if osslsigncode verify -CAfile other.pem -in "$name.exe" >/dev/null 2>&1; then
        echo "sign-test: $name.exe verifies against an authority that did not issue its certificate"
        exit 1
    fi
    echo "sign-test: $exe signed and verified"
    signed+=("$work/$name.exe")
done

UPDATER_EXE=${signed[0]} "$source_dir/scripts/wine-run" "$end_to_end" --gtest_brief=1
