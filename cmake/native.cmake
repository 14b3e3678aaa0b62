# Native build: the portable core on the headless toolkit, with every unit test.
enable_testing()
find_package(GTest REQUIRED)

quindle_glob(UNIT_TEST_SRC ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(quindle_tests ${UNIT_TEST_SRC})
target_include_directories(quindle_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(quindle_tests PRIVATE quindle_core rassim_core GTest::gtest GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(quindle_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)

quindle_glob(BENCH_SRC ${CMAKE_SOURCE_DIR}/bench/*_native.cpp)
foreach(src ${BENCH_SRC})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE quindle_core rassim_core)
endforeach()
