# Sources of the execution-parameters area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/account_figures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_queries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_search.cpp
  ${CMAKE_CURRENT_LIST_DIR}/split_switch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/twap_upload.cpp
)
