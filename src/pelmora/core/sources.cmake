# Sources of the core area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/guard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/guard_binding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python_literal_binding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python_literal_nesting.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python_literal_parse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python_literal_read.cpp
  ${CMAKE_CURRENT_LIST_DIR}/python_literal_write.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statement_binding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stores.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upload_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/write_lock.cpp
)
