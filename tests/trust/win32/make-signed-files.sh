#!/usr/bin/env bash
# Makes the files of the signature tests from PROGRAM, a small unsigned PE of
# the tests' own, into FOLDER (emptied first): certificate authorities and
# code-signing certificates made with openssl, signatures made with
# osslsigncode. Nothing here is trusted by anyone: the tests put
# root-sha256.der into their Wine prefix's Root store themselves.
#
#   trusted.exe          signed by a signer of "Quorvane Test Root" (SHA-256)
#   untrusted-sha256.exe signed under "Quorvane Fremde Stelle", an authority no store holds (SHA-256)
#   untrusted-sha1.exe   the same with SHA-1 certificates ("Quorvane Alte Stelle")
#   tampered.exe         trusted.exe with one byte of its .filler section changed
#   unsigned.exe         PROGRAM as it is
#   table-outside.exe    trusted.exe whose certificate table starts beyond its end
#   table-truncated.exe  trusted.exe cut off in the middle of its certificate table
#   table-garbage.exe    trusted.exe whose signature bytes are overwritten
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 PROGRAM FOLDER" >&2; exit 2; }
program=$(realpath "$1")
folder=$2
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"

authority() {  # NAME DIGEST COMMON-NAME
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 3650 "-$2" -subj "/CN=$3" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}
signer() {  # NAME AUTHORITY DIGEST COMMON-NAME: the certificate, then its authority's, in NAME.chain.pem
  openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$4" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -set_serial "0x$(openssl rand -hex 8)" \
    -days 3650 "-$3" -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  cat "$1.pem" "$2.pem" >"$1.chain.pem"
}
sign() {  # SIGNER OUTPUT
  osslsigncode sign -h sha256 -certs "$1.chain.pem" -key "$1.key" -in "$program" -out "$2" >/dev/null
}

authority root-sha256 sha256 "Quorvane Test Root"
authority foreign-sha256 sha256 "Quorvane Fremde Stelle"
authority foreign-sha1 sha1 "Quorvane Alte Stelle"
signer signer-trusted root-sha256 sha256 "Quorvane Testsignatur"
signer signer-foreign foreign-sha256 sha256 "Quorvane Fremdsignatur"
signer signer-old foreign-sha1 sha1 "Quorvane Altsignatur"
openssl x509 -in root-sha256.pem -outform DER -out root-sha256.der
openssl x509 -in signer-trusted.pem -outform DER -out signer-trusted.der

sign signer-trusted trusted.exe
sign signer-foreign untrusted-sha256.exe
sign signer-old untrusted-sha1.exe
cp "$program" unsigned.exe

# Little-endian numbers of the file: u32 FILE OFFSET, and writing one.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
put_u32() {
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($3 & 255)) $((($3 >> 8) & 255)) $((($3 >> 16) & 255)) \
    $((($3 >> 24) & 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# The certificate table is entry 4 of the data directories of the PE32+
# optional header: offset and size, 112 + 4 * 8 bytes into that header.
pe=$(u32 trusted.exe 60)
entry=$((pe + 24 + 112 + 4 * 8))
[ "$(od -An -tx2 -j $((pe + 24)) -N2 trusted.exe | tr -d ' ')" = 020b ] || { echo "not a PE32+ file" >&2; exit 1; }
table=$(u32 trusted.exe "$entry")
length=$(u32 trusted.exe $((entry + 4)))
size=$(stat -c %s trusted.exe)
[ "$table" -gt 0 ] && [ $((table + length)) -le "$size" ] || { echo "no certificate table in trusted.exe" >&2; exit 1; }

# One byte in the middle of the section that the program keeps for this.
read -r offset bytes < <(x86_64-w64-mingw32-objdump -h trusted.exe | awk '$2 == ".filler" { print $6, $3 }')
[ -n "${offset:-}" ] || { echo "no .filler section in $program" >&2; exit 1; }
cp trusted.exe tampered.exe
printf '\x5a' | dd of=tampered.exe bs=1 seek=$((16#$offset + 16#$bytes / 2)) conv=notrunc status=none
cmp -s trusted.exe tampered.exe && { echo "the tampered byte changed nothing" >&2; exit 1; }

cp trusted.exe table-outside.exe
put_u32 table-outside.exe "$entry" $((size + 4096))
cp trusted.exe table-truncated.exe
truncate -s $((table + length / 2)) table-truncated.exe
cp trusted.exe table-garbage.exe
head -c $((length - 8)) /dev/zero | tr '\0' '\132' | dd of=table-garbage.exe bs=1 seek=$((table + 8)) conv=notrunc status=none
rm -f ./*.csr ./*.ext ./*.srl
