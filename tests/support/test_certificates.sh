#!/usr/bin/env bash
# test_certificates.sh FOLDER
# Makes, in FOLDER, what the download tests' TLS server needs and only they trust: two
# self-signed server certificates with their keys (PKCS#1, which every TLS backend of Qt reads),
# server.pem/server.key for 127.0.0.1 (as an IP address and as a DNS name, as Schannel compares
# names only) and other.pem/other.key for another host name, and trusted.pem, which holds both.
# Made afresh for each test run and never kept: no key is ever committed. Exits 77 (skipped)
# without the openssl command.
set -euo pipefail

command -v openssl >/dev/null || { echo "skipped: no openssl command (Debian: openssl)" >&2; exit 77; }
rm -rf "$1"
mkdir -p "$1"
cd "$1"
for server in "server:IP:127.0.0.1,DNS:127.0.0.1" "other:DNS:other.example"; do
    name=${server%%:*}
    openssl genrsa -traditional -out "$name.key" 2048
    openssl req -x509 -key "$name.key" -out "$name.pem" -days 7 -subj "/CN=$name" \
        -addext "subjectAltName=${server#*:}"
done
cat server.pem other.pem >trusted.pem
