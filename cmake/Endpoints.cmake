# Reads endpoints.env into PELMORA_<NAME> variables and writes them as C string
# constants into a generated header. A value given on the command line
# (-DPELMORA_<NAME>=...) wins over the file; editing the file reconfigures.
set(_pelmora_endpoints_file "${PROJECT_SOURCE_DIR}/endpoints.env")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_pelmora_endpoints_file}")
file(STRINGS "${_pelmora_endpoints_file}" _pelmora_endpoint_lines REGEX "^[A-Z0-9_]+=")
set(_pelmora_endpoint_defines "")
foreach(_line IN LISTS _pelmora_endpoint_lines)
  string(REGEX MATCH "^([A-Z0-9_]+)=(.*)$" _m "${_line}")
  set(_name "${CMAKE_MATCH_1}")
  if(NOT DEFINED CACHE{PELMORA_${_name}})
    set(PELMORA_${_name} "${CMAKE_MATCH_2}")
  endif()
  set(_value "${PELMORA_${_name}}")
  string(REPLACE "\\" "\\\\" _value "${_value}")
  string(REPLACE "\"" "\\\"" _value "${_value}")
  string(APPEND _pelmora_endpoint_defines "#define PELMORA_${_name} \"${_value}\"\n")
endforeach()
set(PELMORA_ENDPOINTS_HEADER_DIR "${PROJECT_BINARY_DIR}/generated")
file(CONFIGURE OUTPUT "${PELMORA_ENDPOINTS_HEADER_DIR}/pelmora_endpoints.h"
     CONTENT "// Generated from endpoints.env by the build.\n#pragma once\n${_pelmora_endpoint_defines}")
