# Sources of the live cache views.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/cache_views.cpp
)
