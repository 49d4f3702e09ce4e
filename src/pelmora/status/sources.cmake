# Sources of the account status area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/switch_undo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/update_sts.cpp
)
