#!/usr/bin/env bash
# The demo with DDS Security enforced: a fresh sros2 keystore, one enclave per
# program with the permissions config/security_policy.xml grants it, then the
# same docking as run_demo.sh. Run through `make demo-secure`.
#   run_demo_secure.sh INSTALL_DIR [OUT_DIR]      (INSTALL_DIR: the colcon install base)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install=$(cd "${1:-$root/install}" && pwd)
out=${2:-$root/out/demo-secure}
# The governance and permissions name the domain: the keystore is made for this one.
export ROS_DOMAIN_ID=${ROS_DOMAIN_ID:-200}
ros2_lite="$install/ros2_lite/lib/ros2_lite/ros2_lite"
[ -x "$ros2_lite" ] || { echo "$ros2_lite is missing: build first" >&2; exit 2; }

keystore="$out/keystore"
mkdir -p "$out"
rm -rf "$keystore"
"$ros2_lite" security create_keystore "$keystore"
for program in align_controller docking_sim align_request; do
  "$ros2_lite" security create_enclave "$keystore" "/$program"
  "$ros2_lite" security create_permission "$keystore" "/$program" "$install/dds_config/share/dds_config/security_policy.xml"
done
echo "keystore $keystore: enclaves /align_controller /docking_sim /align_request"

export ROS_SECURITY_KEYSTORE=$keystore ROS_SECURITY_ENABLE=true ROS_SECURITY_STRATEGY=Enforce
# The closed loop gives each program --enclave /<program>.
export DOCK_ENCLAVES=1
exec "$root/docking_demo/run_demo.sh" "$install" "$out"
