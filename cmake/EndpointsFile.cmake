# The one reading of endpoints.env, shared with services/endpoints.py: each
# line is blank, a comment (first non-blank character '#'), or NAME=value with
# NAME of capitals, digits and '_'; blanks and tabs around the name and the
# value are not part of them. Any other line is an error.
# Sets <prefix>NAMES to the names in file order and <prefix><NAME> to each value.
function(pelmora_read_endpoints file prefix)
  file(READ "${file}" _text)
  string(REPLACE "\r\n" "\n" _text "${_text}")
  # CMake lists split at ';': keep a value's ';' through the split.
  string(REPLACE ";" "<semicolon>" _text "${_text}")
  string(REPLACE "\n" ";" _lines "${_text}")
  set(_names "")
  foreach(_line IN LISTS _lines)
    string(STRIP "${_line}" _bare)
    if(_bare STREQUAL "" OR _bare MATCHES "^#")
      continue()
    endif()
    if(NOT _bare MATCHES "^([A-Z0-9_]+)[ \t]*=(.*)$")
      message(FATAL_ERROR "${file}: not a NAME=value line: ${_line}")
    endif()
    set(_name "${CMAKE_MATCH_1}")
    string(STRIP "${CMAKE_MATCH_2}" _value)
    string(REPLACE "<semicolon>" ";" _value "${_value}")
    list(APPEND _names "${_name}")
    list(REMOVE_DUPLICATES _names)
    set(${prefix}${_name} "${_value}" PARENT_SCOPE)
  endforeach()
  set(${prefix}NAMES "${_names}" PARENT_SCOPE)
endfunction()
