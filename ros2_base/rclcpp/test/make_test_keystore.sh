#!/bin/sh
# Makes a small keystore in the layout of `ros2 security create_keystore` and `create_enclave`
# for the security tests: one CA (ECDSA P-256) for identities and permissions, a governance that
# encrypts everything, and enclaves whose permissions grant every ROS topic and service:
#   /good      valid
#   /expired   its certificate expired a day ago
#   /foreign   permissions signed by a CA the enclave does not trust
# Usage: make_test_keystore.sh DIR DOMAIN_ID...
set -eu
dir=$1
shift
domains='<domains>'
for id in "$@"; do
  domains="$domains<id>$id</id>"
done
domains="$domains</domains>"
mkdir -p "$dir/public" "$dir/private" "$dir/enclaves" "$dir/foreign_ca"
cd "$dir"

# A self-signed CA certificate and its key: make_ca CERT KEY
make_ca() {
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$2"
  openssl req -new -x509 -key "$2" -subj /CN=sros2CA -days 3650 -sha256 \
    -addext basicConstraints=critical,CA:TRUE,pathlen:1 -out "$1"
}

# S/MIME detached, text/plain, as sros2 signs documents: sign CERT KEY IN OUT
sign() {
  openssl smime -sign -text -in "$3" -out "$4" -signer "$1" -inkey "$2"
}

make_ca public/ca.cert.pem private/ca.key.pem
ln -sf ca.cert.pem public/identity_ca.cert.pem
ln -sf ca.cert.pem public/permissions_ca.cert.pem
ln -sf ca.key.pem private/identity_ca.key.pem
ln -sf ca.key.pem private/permissions_ca.key.pem
make_ca foreign_ca/ca.cert.pem foreign_ca/ca.key.pem

cat > enclaves/governance.xml <<XML
<?xml version="1.0" encoding="UTF-8"?>
<dds xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
    xsi:noNamespaceSchemaLocation="http://www.omg.org/spec/DDS-SECURITY/20170901/omg_shared_ca_governance.xsd">
  <domain_access_rules>
    <domain_rule>
      $domains
      <allow_unauthenticated_participants>false</allow_unauthenticated_participants>
      <enable_join_access_control>true</enable_join_access_control>
      <discovery_protection_kind>ENCRYPT</discovery_protection_kind>
      <liveliness_protection_kind>ENCRYPT</liveliness_protection_kind>
      <rtps_protection_kind>SIGN</rtps_protection_kind>
      <topic_access_rules>
        <topic_rule>
          <topic_expression>*</topic_expression>
          <enable_discovery_protection>true</enable_discovery_protection>
          <enable_liveliness_protection>true</enable_liveliness_protection>
          <enable_read_access_control>true</enable_read_access_control>
          <enable_write_access_control>true</enable_write_access_control>
          <metadata_protection_kind>ENCRYPT</metadata_protection_kind>
          <data_protection_kind>ENCRYPT</data_protection_kind>
        </topic_rule>
      </topic_access_rules>
    </domain_rule>
  </domain_access_rules>
</dds>
XML
sign public/permissions_ca.cert.pem private/permissions_ca.key.pem \
  enclaves/governance.xml enclaves/governance.p7s

serial=0
# make_enclave NAME DAYS PERMISSIONS_CA_CERT PERMISSIONS_CA_KEY
make_enclave() {
  enclave=enclaves/$1
  mkdir -p "$enclave"
  for link in identity_ca.cert.pem permissions_ca.cert.pem; do
    ln -sf "../../public/$link" "$enclave/$link"
  done
  ln -sf ../governance.p7s "$enclave/governance.p7s"
  openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$enclave/key.pem"
  serial=$((serial + 1))
  openssl req -new -key "$enclave/key.pem" -subj "/CN=\\/$1" -out "$enclave/cert.csr"
  openssl x509 -req -in "$enclave/cert.csr" -CA public/identity_ca.cert.pem \
    -CAkey private/identity_ca.key.pem -set_serial "$serial" -days "$2" -sha256 \
    -out "$enclave/cert.pem" 2>/dev/null
  rm "$enclave/cert.csr"
  cat > "$enclave/permissions.xml" <<XML
<dds xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
    xsi:noNamespaceSchemaLocation="http://www.omg.org/spec/DDS-SECURITY/20170901/omg_shared_ca_permissions.xsd">
  <permissions>
    <grant name="/$1">
      <subject_name>CN=/$1</subject_name>
      <validity>
        <not_before>2020-01-01T00:00:00</not_before>
        <not_after>2100-01-01T00:00:00</not_after>
      </validity>
      <allow_rule>
        $domains
        <publish><topics><topic>rq/*Request</topic><topic>rr/*Reply</topic><topic>rt/*</topic></topics></publish>
        <subscribe><topics><topic>rq/*Request</topic><topic>rr/*Reply</topic><topic>rt/*</topic></topics></subscribe>
      </allow_rule>
      <allow_rule>
        $domains
        <publish><topics><topic>ros_discovery_info</topic></topics></publish>
        <subscribe><topics><topic>ros_discovery_info</topic></topics></subscribe>
      </allow_rule>
      <default>DENY</default>
    </grant>
  </permissions>
</dds>
XML
  sign "$3" "$4" "$enclave/permissions.xml" "$enclave/permissions.p7s"
}

make_enclave good 3650 public/permissions_ca.cert.pem private/permissions_ca.key.pem
make_enclave expired -1 public/permissions_ca.cert.pem private/permissions_ca.key.pem
make_enclave foreign 3650 foreign_ca/ca.cert.pem foreign_ca/ca.key.pem
