# Reads endpoints.env into cache variables PELMORA_<NAME>, so a build can point
# the library at other servers without touching the sources.
file(STRINGS "${PROJECT_SOURCE_DIR}/endpoints.env" _pelmora_endpoint_lines REGEX "^[A-Z0-9_]+=")
foreach(_line IN LISTS _pelmora_endpoint_lines)
  string(REGEX MATCH "^([A-Z0-9_]+)=(.*)$" _m "${_line}")
  set(PELMORA_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}" CACHE STRING "Server address ${CMAKE_MATCH_1}")
endforeach()
