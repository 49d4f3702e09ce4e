# Compile-time measures for the extension modules, where most of a build goes into parsing
# pybind11 and the interpreter's headers once per source file:
#   - one unity unit per source folder (an "area"), so those headers are parsed once per area;
#   - a precompiled header with pybind11 and the standard headers most files use.
# Both can be switched off (-DPELMORA_UNITY_BUILD=OFF, -DPELMORA_PCH=OFF), e.g. to find a
# name that two files of one area both define.
option(PELMORA_UNITY_BUILD "Compile the sources of each folder as one unit" ON)
option(PELMORA_PCH "Precompile pybind11 and the common standard headers" ON)

# Groups the target's sources by folder; a file listed in PELMORA_UNITY_ALONE (paths
# relative to the target's source dir) is compiled on its own, for a file-scope name that
# collides with another file of its folder.
function(pelmora_unity_by_folder target)
  if(NOT PELMORA_UNITY_BUILD)
    return()
  endif()
  get_target_property(_sources ${target} SOURCES)
  get_target_property(_dir ${target} SOURCE_DIR)
  foreach(_src IN LISTS _sources)
    if(NOT _src MATCHES "\\.(cpp|cc|cxx)$")
      continue()
    endif()
    get_filename_component(_abs "${_src}" ABSOLUTE BASE_DIR "${_dir}")
    file(RELATIVE_PATH _rel "${_dir}" "${_abs}")
    if(_rel IN_LIST PELMORA_UNITY_ALONE)
      set_source_files_properties("${_abs}" TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
      continue()
    endif()
    get_filename_component(_folder "${_rel}" DIRECTORY)
    if(_folder STREQUAL "")
      set(_folder "top")
    endif()
    string(MAKE_C_IDENTIFIER "${_folder}" _group)
    set_source_files_properties("${_abs}" TARGET_DIRECTORY ${target} PROPERTIES UNITY_GROUP "${_group}")
  endforeach()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
endfunction()

# Python.h (through pybind11) comes first, as the interpreter requires. Only headers whose
# inclusion changes no meaning belong here: pybind11/stl.h does not (its casters change how
# the files that use it convert containers).
function(pelmora_python_pch target)
  if(NOT PELMORA_PCH)
    return()
  endif()
  target_precompile_headers(${target} PRIVATE
    <pybind11/pybind11.h>
    <string> <string_view> <vector> <array> <optional> <memory> <utility> <cstdint> <cstring>)
endfunction()
