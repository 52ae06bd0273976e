# Build helpers shared by every folder.
#
#   orv_library(<name> SOURCES ... [DEPS ...])
#       A static library whose headers are included as "<folder>/<file>.h"
#       from the repository root.
#   orv_program(<name> SOURCES ... [DEPS ...])
#       A program of the terminal, written to the build's top folder (the
#       program folder), beside res/, login_res/ and update.ini, which the
#       target `resources` keeps complete.
#   orv_test_executable(<name> SOURCES ... [DEPS ...])
#       A GoogleTest executable (built only with ORV_TESTS); the text files
#       of the program folder's res/ are copied before it is built.
#   orv_test_group(<executable> <label> <gtest filter> [TIMEOUT s] [RUN_SERIAL])
#       Registers one ctest test that runs the suites matching the filter,
#       carrying the ctest LABEL <label>. Every suite of an executable
#       belongs to exactly one group.
#   orv_fuzz_target(<name> SOURCES ... [DEPS ...])
#       A libFuzzer target (built only with ORV_FUZZ); its seed corpus is
#       fuzz/corpus/<name>/.

set(ORV_TEST_ENV
  "QT_QPA_PLATFORM=offscreen"
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tools/tsan.supp")

# orv_library(<name> [SHARED] SOURCES ... DEPS ...): a static library, or
# with SHARED one written to the program folder (the build's top folder),
# where the programs find it through their RUNPATH $ORIGIN.
function(orv_library name)
  cmake_parse_arguments(A "SHARED" "" "SOURCES;DEPS" ${ARGN})
  if(A_SHARED)
    add_library(${name} SHARED ${A_SOURCES})
    set_target_properties(${name} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    # Calls inside the library stay direct; only the exported entry points
    # go through the dynamic linker.
    target_compile_options(${name} PRIVATE -fno-semantic-interposition)
  else()
    add_library(${name} STATIC ${A_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

function(orv_program name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  add_dependencies(${name} resources)
endfunction()

function(orv_test_executable name)
  if(NOT ORV_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    ORV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ORV_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(${name} resource_files)
endfunction()

function(orv_test_group exe label filter)
  if(NOT ORV_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "RUN_SERIAL" "TIMEOUT" "" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  # The sanitizer trees run several times slower, more so on a busy machine.
  if(ORV_SANITIZE OR ORV_TSAN)
    math(EXPR A_TIMEOUT "${A_TIMEOUT} * 3")
  endif()
  add_test(NAME ${exe}.${label} COMMAND ${exe} --gtest_filter=${filter} --gtest_brief=1)
  set_tests_properties(${exe}.${label} PROPERTIES
    LABELS ${label} TIMEOUT ${A_TIMEOUT} ENVIRONMENT "${ORV_TEST_ENV}")
  if(A_RUN_SERIAL)
    set_tests_properties(${exe}.${label} PROPERTIES RUN_SERIAL TRUE)
  endif()
  # Remembered for orv_test_group_checks.
  get_property(_known GLOBAL PROPERTY ORV_GROUPED_TEST_EXES)
  if(NOT exe IN_LIST _known)
    set_property(GLOBAL APPEND PROPERTY ORV_GROUPED_TEST_EXES ${exe})
    set_property(GLOBAL PROPERTY ORV_FIRST_LABEL_${exe} ${label})
  endif()
  set_property(GLOBAL APPEND PROPERTY ORV_GROUP_FILTERS_${exe} "${filter}")
endfunction()

# One more test per test executable, under the label of its first group:
# fails when a test of the executable is run by none of its groups (see
# tools/check-test-groups.sh). Called once, after every folder is added.
function(orv_test_group_checks)
  if(NOT ORV_TESTS)
    return()
  endif()
  get_property(_exes GLOBAL PROPERTY ORV_GROUPED_TEST_EXES)
  foreach(exe IN LISTS _exes)
    get_property(_label GLOBAL PROPERTY ORV_FIRST_LABEL_${exe})
    get_property(_filters GLOBAL PROPERTY ORV_GROUP_FILTERS_${exe})
    add_test(NAME ${exe}.groups
             COMMAND ${CMAKE_SOURCE_DIR}/tools/check-test-groups.sh $<TARGET_FILE:${exe}> ${_filters})
    set_tests_properties(${exe}.groups PROPERTIES LABELS ${_label} TIMEOUT 120 ENVIRONMENT "${ORV_TEST_ENV}")
  endforeach()
endfunction()

function(orv_fuzz_target name)
  if(NOT ORV_FUZZ)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(fuzz_${name} ${A_SOURCES})
  target_link_libraries(fuzz_${name} PRIVATE ${A_DEPS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY ORV_FUZZ_TARGETS ${name})
endfunction()

# Includes every <area>.cmake file of the calling folder, in name order, so
# that areas add sources, dependencies and test groups without editing a
# shared list.
macro(orv_include_area_files)
  file(GLOB _orv_area_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  list(SORT _orv_area_files)
  foreach(_orv_area ${_orv_area_files})
    include(${_orv_area})
  endforeach()
endmacro()

# orv_benchmark(<name> SOURCES ... [DEPS ...]): a Google Benchmark program
# bench_<name>; bench.sh runs every one of them.
function(orv_benchmark name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(bench_${name} ${A_SOURCES})
  target_link_libraries(bench_${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  target_include_directories(bench_${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set_property(GLOBAL APPEND PROPERTY ORV_BENCH_TARGETS bench_${name})
endfunction()
