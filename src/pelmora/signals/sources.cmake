# Sources of the signals area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/delete.cpp
  ${CMAKE_CURRENT_LIST_DIR}/publish.cpp
  ${CMAKE_CURRENT_LIST_DIR}/read.cpp
  ${CMAKE_CURRENT_LIST_DIR}/replicate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signal_hash.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upload.cpp
)
