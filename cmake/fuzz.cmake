# Fuzz build (preset "fuzz", clang): one libFuzzer program per file of
# tests/fuzz/*_fuzz.cpp, over the portable libraries, and nothing else.
# scripts/fuzz builds and runs them.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "QUINDLE_FUZZ needs clang (libFuzzer): use the fuzz preset")
endif()

quindle_glob(FUZZ_SRC ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
foreach(src ${FUZZ_SRC})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  # The unit tests' in-memory worlds are shared with the targets.
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit)
  target_link_libraries(${name} PRIVATE quindle_app rassim_core)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endforeach()
