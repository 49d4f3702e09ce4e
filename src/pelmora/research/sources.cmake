# Sources of the research area.
target_sources(Pelmora PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/factors.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/post_trade.cpp
)
