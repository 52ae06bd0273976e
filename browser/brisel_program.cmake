# Brisel itself: the web engine and Qt widgets are used here and nowhere
# else in the system.
find_package(Qt6 REQUIRED COMPONENTS Widgets WebEngineWidgets)
orv_library(brisel_view SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/brisel_view.cpp
  DEPS brisel_catalogue platform Qt6::Widgets Qt6::WebEngineWidgets)
set_target_properties(brisel_view PROPERTIES AUTOMOC OFF)
orv_program(Brisel SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/brisel_main.cpp DEPS brisel_view)
