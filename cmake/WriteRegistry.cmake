# Writes the installer's record with a fresh installation GUID.
#   cmake -DREGISTRY_FILE=<path> [-DONLY_IF_MISSING=ON] -P WriteRegistry.cmake
# A new GUID makes the next start replace the settings by the defaults, which
# is what a new installation should do; a build keeps the record it has.
if(NOT REGISTRY_FILE)
  message(FATAL_ERROR "REGISTRY_FILE not set")
endif()
if(ONLY_IF_MISSING AND EXISTS "${REGISTRY_FILE}")
  return()
endif()
string(RANDOM LENGTH 32 ALPHABET 0123456789ABCDEF noise)
string(TIMESTAMP now "%Y%m%d%H%M%S%f" UTC)
string(UUID guid NAMESPACE 6ba7b811-9dad-11d1-80b4-00c04fd430c8 NAME "${noise}${now}" TYPE SHA1 UPPER)
file(WRITE "${REGISTRY_FILE}" "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Vexmora.ProjFile]\ninsguid={${guid}}\n")
message(STATUS "Installation record: ${REGISTRY_FILE} {${guid}}")
