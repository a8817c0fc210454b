#!/usr/bin/env bash
# test_certificates.sh FOLDER
# Makes, in FOLDER, what the download tests' TLS server needs and only they trust: a certificate
# authority of their own (ca.pem), and two server certificates it signed, with their keys:
# server.pem/server.key for 127.0.0.1 (as an IP address and as a DNS name, as Schannel compares
# names only), other.pem/other.key for another host name. Made afresh for each test run and
# never kept: no key is ever committed. Exits 77 (skipped) without the openssl command.
set -euo pipefail

folder=$1
command -v openssl >/dev/null || { echo "skipped: no openssl command (Debian: openssl)" >&2; exit 77; }
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"

# What openssl says goes to a log, shown only when a step fails.
quiet() { "$@" >>openssl.log 2>&1 || { cat openssl.log >&2; exit 1; }; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 7 \
    -subj "/CN=Kalvera test authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
for server in "server:IP:127.0.0.1,DNS:127.0.0.1" "other:DNS:other.example"; do
    name=${server%%:*}
    names=${server#*:}
    quiet openssl req -newkey rsa:2048 -nodes -keyout "$name.pkcs8" -out "$name.csr" \
        -subj "/CN=${names##*:}"
    # PKCS#1, which every TLS backend of Qt reads.
    quiet openssl rsa -in "$name.pkcs8" -out "$name.key" -traditional
    printf '%s\n' "subjectAltName=$names" "basicConstraints=CA:FALSE" \
        "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" \
        >"$name.ext"
    quiet openssl x509 -req -in "$name.csr" -CA ca.pem -CAkey ca.key -CAcreateserial \
        -out "$name.pem" -days 7 -extfile "$name.ext"
done
rm -f ./*.csr ./*.pkcs8 ./*.ext ./*.srl ca.key openssl.log
