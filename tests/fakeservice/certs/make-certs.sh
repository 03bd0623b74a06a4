#!/usr/bin/env bash
# Makes every key and certificate of this folder once; the results are
# committed. The CA keys are made in a temporary folder and thrown away, so
# nobody can sign more certificates with these CAs: the release program
# trusts the demo CA, and a leaked CA key would let anyone stand in for any
# server. Both CAs are also name-constrained to 127.0.0.1 and localhost.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
days=10950

cat >"$tmp/server.ext" <<'EXT'
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EXT
cat >"$tmp/self.ext" <<'EXT'
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1, DNS:localhost
EXT

# ca_and_server <ca name> <ca file> <server file> <subject prefix>
ca_and_server() {
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days "$days" \
        -keyout "$tmp/$2.key" -out "$2.pem" -subj "/O=Velquora/CN=$1" \
        -addext "basicConstraints=critical,CA:TRUE,pathlen:0" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -addext "nameConstraints=critical,permitted;IP:127.0.0.1/255.255.255.255,permitted;DNS:localhost"
    openssl req -new -newkey rsa:2048 -nodes -sha256 \
        -keyout "$3.key" -out "$tmp/$3.csr" -subj "/O=Velquora/CN=127.0.0.1"
    openssl x509 -req -sha256 -days "$days" -in "$tmp/$3.csr" \
        -CA "$2.pem" -CAkey "$tmp/$2.key" -CAcreateserial -CAserial "$tmp/$2.srl" \
        -extfile "$tmp/server.ext" -out "$3.pem"
}

ca_and_server "Velquora Test CA" test-ca server
ca_and_server "Velquora Demo CA" demo-ca demo-server

# Self-signed and signed by no CA that anything trusts.
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days "$days" \
    -keyout untrusted.key -out untrusted.pem -subj "/O=Velquora/CN=127.0.0.1" \
    -extensions v3_self -config <(printf '[req]\ndistinguished_name=dn\n[dn]\n[v3_self]\n'; cat "$tmp/self.ext")

openssl verify -CAfile test-ca.pem server.pem
openssl verify -CAfile demo-ca.pem demo-server.pem
