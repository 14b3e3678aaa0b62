# Native build: the portable core on the headless toolkit, with every unit test
# (with QUINDLE_TSAN, the threaded suites only).
enable_testing()
find_package(GTest REQUIRED)

if(QUINDLE_TSAN)
  # Under ThreadSanitizer only the suites in which other threads run: the
  # dialer's hand-off from the service's notifier thread to the GUI thread,
  # the simulated service itself, the controller and the soak over both.
  # One runner and the libraries it needs, and nothing else, to keep the
  # build's cost to scripts/test small.
  set(TSAN_TEST_SRC
    ${CMAKE_SOURCE_DIR}/tests/unit/DialUp_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/RasSimService_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/Controller_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/unit/Soak_test.cpp)
  add_executable(quindle_tsan_tests ${TSAN_TEST_SRC})
  target_include_directories(quindle_tsan_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(quindle_tsan_tests PRIVATE quindle_app rassim_core GTest::gtest
    GTest::gtest_main)
  # One test for ctest: the first report ends the run and fails it (exit code
  # 66); the suppressions list names only code that is not ours.
  add_test(NAME quindle_tsan_tests COMMAND quindle_tsan_tests --gtest_color=no)
  set_tests_properties(quindle_tsan_tests PROPERTIES TIMEOUT 600 ENVIRONMENT
    "TSAN_OPTIONS=halt_on_error=1 exitcode=66 second_deadlock_stack=1 suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
  return()
endif()

quindle_glob(UNIT_TEST_SRC ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(quindle_tests ${UNIT_TEST_SRC})
target_include_directories(quindle_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(quindle_tests PRIVATE quindle_app rassim_core GTest::gtest GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(quindle_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)

quindle_glob(BENCH_SRC ${CMAKE_SOURCE_DIR}/bench/*_native.cpp)
foreach(src ${BENCH_SRC})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE quindle_app rassim_core)
endforeach()
