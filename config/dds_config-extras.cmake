# Where find_package(dds_config) users read the installed files.
get_filename_component(dds_config_SHARE "${dds_config_DIR}/.." ABSOLUTE)
set(dds_config_LOOPBACK_PROFILE "${dds_config_SHARE}/cyclonedds-localhost.xml")
set(dds_config_SECURITY_POLICY "${dds_config_SHARE}/security_policy.xml")
