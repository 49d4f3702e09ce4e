# Reads endpoints.env into PELMORA_<NAME> variables and writes them as C string
# constants into a generated header. A value given on the command line
# (-DPELMORA_<NAME>=...) wins over the file; editing the file reconfigures.
include(${CMAKE_CURRENT_LIST_DIR}/EndpointsFile.cmake)
set(_pelmora_endpoints_file "${PROJECT_SOURCE_DIR}/endpoints.env")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_pelmora_endpoints_file}")
pelmora_read_endpoints("${_pelmora_endpoints_file}" _pelmora_file_)
set(_pelmora_endpoint_defines "")
foreach(_name IN LISTS _pelmora_file_NAMES)
  if(NOT DEFINED CACHE{PELMORA_${_name}})
    set(PELMORA_${_name} "${_pelmora_file_${_name}}")
  endif()
  set(_value "${PELMORA_${_name}}")
  string(REPLACE "\\" "\\\\" _value "${_value}")
  string(REPLACE "\"" "\\\"" _value "${_value}")
  string(APPEND _pelmora_endpoint_defines "#define PELMORA_${_name} \"${_value}\"\n")
endforeach()
set(PELMORA_ENDPOINTS_HEADER_DIR "${PROJECT_BINARY_DIR}/generated")
file(CONFIGURE OUTPUT "${PELMORA_ENDPOINTS_HEADER_DIR}/pelmora_endpoints.h"
     CONTENT "// Generated from endpoints.env by the build.\n#pragma once\n${_pelmora_endpoint_defines}")
