# Sources of the account area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/connections.cpp
  ${CMAKE_CURRENT_LIST_DIR}/constructor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mysql_query.cpp
  ${CMAKE_CURRENT_LIST_DIR}/probe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/time_utils.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timeout_runner.cpp
)
