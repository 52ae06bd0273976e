# The trading windows: their own library beside the protocol, so that the
# protocol library and the simulated brokerage never link the window layer.
file(GLOB TRADING_UI_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp)
orv_library(trading_ui SOURCES ${TRADING_UI_SOURCES} DEPS trading controls foundation platform)
add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/ui/tests ${CMAKE_CURRENT_BINARY_DIR}/ui_tests)
