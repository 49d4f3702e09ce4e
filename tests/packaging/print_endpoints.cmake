# cmake -DFILE=<endpoints file> -P print_endpoints.cmake: the build's reading of
# the file, one NAME=[value] line each.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/EndpointsFile.cmake)
pelmora_read_endpoints("${FILE}" E_)
foreach(_name IN LISTS E_NAMES)
  message("${_name}=[${E_${_name}}]")
endforeach()
