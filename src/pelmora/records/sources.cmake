# Sources of the records area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/binding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/build.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cells.cpp
  ${CMAKE_CURRENT_LIST_DIR}/column_type.cpp
  ${CMAKE_CURRENT_LIST_DIR}/direct_array.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/json_float.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_column.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_direct.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/native_type.cpp
  ${CMAKE_CURRENT_LIST_DIR}/object.cpp
  ${CMAKE_CURRENT_LIST_DIR}/query.cpp
  ${CMAKE_CURRENT_LIST_DIR}/temporal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer.cpp
)
