# The window system, drawing and the framework classes over Qt 6 (QtGui
# only): win_*.cpp, gdi_*.cpp and afx_*.cpp form the "platform" library.
find_package(Qt6 REQUIRED COMPONENTS Gui)
find_package(Fontconfig REQUIRED)
file(GLOB PLATFORM_WINDOW_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/win_*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gdi_*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/afx_*.cpp)
orv_library(platform SOURCES ${PLATFORM_WINDOW_SOURCES} DEPS platform_kernel Qt6::Gui Fontconfig::Fontconfig)

if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/examples)
  add_executable(window_demo ${CMAKE_CURRENT_SOURCE_DIR}/examples/window_demo.cpp)
  target_link_libraries(window_demo PRIVATE platform)
endif()
