# Sources of the core area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/guard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_literal_binding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_literal_lex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_literal_read.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_literal_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_literal_tokens.cpp
  ${CMAKE_CURRENT_LIST_DIR}/host_literal_write.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statement_binding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stores.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upload_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/write_lock.cpp
)
