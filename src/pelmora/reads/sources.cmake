# Sources of the reads area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/history_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/live_views.cpp
  ${CMAKE_CURRENT_LIST_DIR}/read.cpp
  ${CMAKE_CURRENT_LIST_DIR}/read_kinds.cpp
)
