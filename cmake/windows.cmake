# Windows build (mingw-w64 or MSVC): Quindle.exe, the simulated RAS service
# rasapi32.dll in a folder of its own, and the Windows test runner.

# One self-contained executable: no compiler runtime DLLs beside it.
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++)
elseif(MSVC)
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  set_property(TARGET quindle_platform quindle_toolkit quindle_components quindle_dialup
    quindle_rasmonitor quindle_settings quindle_app rassim_core
    PROPERTY MSVC_RUNTIME_LIBRARY "${CMAKE_MSVC_RUNTIME_LIBRARY}")
endif()

# std::min and std::max rather than the macros of windows.h.
add_compile_definitions(NOMINMAX)

# Only libraries Windows protects as known are imported, so that the loader
# never looks for them in the program's folder; the others (version,
# riched20) are loaded at run time from the system folder. comctl32 is the
# exception: the manifest names the common controls 6, and the loader takes
# that library from the side-by-side store before looking in any folder.
target_link_libraries(quindle_platform PUBLIC advapi32 shell32 ws2_32)
if(MINGW AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  # The C runtime's import library ahead of kernel32's (which CMake names
  # among the standard libraries), so that __C_specific_handler is bound to
  # msvcrt.dll, which has it on every 64-bit Windows (Win32TickCount.cpp).
  target_link_libraries(quindle_platform PUBLIC msvcrt)
endif()
target_link_libraries(quindle_toolkit PUBLIC user32 gdi32 comctl32 shell32)

set(QUINDLE_RESOURCES ${CMAKE_SOURCE_DIR}/resources)

# ---- the program ----------------------------------------------------------
add_executable(Quindle WIN32 ${CMAKE_SOURCE_DIR}/src/app/main.cpp ${QUINDLE_RESOURCES}/Quindle.rc)
target_include_directories(Quindle PRIVATE ${QUINDLE_RESOURCES})
target_compile_definitions(Quindle PRIVATE
  QUINDLE_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  QUINDLE_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  QUINDLE_VERSION_PATCH=${PROJECT_VERSION_PATCH})
# The icons and the manifest are read by the resource compiler.
set(QUINDLE_ICONS ${QUINDLE_RESOURCES}/Icons.rc ${QUINDLE_RESOURCES}/ResourceIds.h
  ${QUINDLE_RESOURCES}/app.ico ${QUINDLE_RESOURCES}/disconnected.ico
  ${QUINDLE_RESOURCES}/connected.ico ${QUINDLE_RESOURCES}/dial1.ico
  ${QUINDLE_RESOURCES}/dial2.ico)
set_property(SOURCE ${QUINDLE_RESOURCES}/Quindle.rc APPEND PROPERTY OBJECT_DEPENDS
  ${QUINDLE_RESOURCES}/Quindle.manifest ${QUINDLE_ICONS})
set_property(SOURCE ${QUINDLE_RESOURCES}/Icons.rc APPEND PROPERTY OBJECT_DEPENDS ${QUINDLE_ICONS})
target_link_libraries(Quindle PRIVATE quindle_app
  comctl32 shell32 ws2_32 advapi32 user32 gdi32)
if(MSVC)
  # The manifest comes from the resource script.
  target_link_options(Quindle PRIVATE /MANIFEST:NO)
elseif(MINGW)
  # Stripped; sections at page boundaries in the file too, so that a loader
  # can map the program's code instead of reading it all in (Wine copies an
  # image whose sections are not page-aligned in the file, and all 1.1 MB of
  # code is then resident from the start; mapped, only the pages used are).
  target_link_options(Quindle PRIVATE $<$<CONFIG:Release>:-s> -Wl,--file-alignment=4096)
endif()

# ---- the simulated RAS service ----------------------------------------------
# Built under the system's own name, in a folder of its own, so that it is
# installed on purpose (scripts/run) and never found by accident.
quindle_glob(RASSIM_DLL_SRC ${CMAKE_SOURCE_DIR}/src/rassim/dll/*.cpp)
add_library(rasapi32 SHARED ${RASSIM_DLL_SRC} ${CMAKE_SOURCE_DIR}/src/rassim/dll/rasapi32.def)
set_target_properties(rasapi32 PROPERTIES
  PREFIX "" OUTPUT_NAME rasapi32
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/rassim
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/rassim
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/rassim)
if(MINGW)
  # The exports come from the .def file, undecorated on 32-bit too.
  target_link_options(rasapi32 PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
endif()
target_link_libraries(rasapi32 PRIVATE rassim_core)

# The same service laid out as on the Windows 95 family, in a folder of its
# own (installed by quindle_install_rassim95): a rasapi32.dll without the
# dialer's functions under their own names, and an rnaph.dll that forwards
# those to it.
add_library(rasapi32_95 SHARED ${RASSIM_DLL_SRC} ${CMAKE_SOURCE_DIR}/src/rassim/dll/win95/rasapi32.def)
add_library(rnaph SHARED ${CMAKE_SOURCE_DIR}/src/rassim/dll/win95/RnaPh.cpp
  ${CMAKE_SOURCE_DIR}/src/rassim/dll/win95/rnaph.def)
foreach(lib rasapi32_95 rnaph)
  set_target_properties(${lib} PROPERTIES
    PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/rassim95
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/rassim95
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/rassim95)
  if(MINGW)
    target_link_options(${lib} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
  endif()
endforeach()
set_target_properties(rasapi32_95 PROPERTIES OUTPUT_NAME rasapi32)
target_link_libraries(rasapi32_95 PRIVATE rassim_core)
add_dependencies(rnaph rasapi32_95)

# ---- Windows test suites ----------------------------------------------------
quindle_glob(WIN_TEST_SRC ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
if(WIN_TEST_SRC AND NOT EXISTS ${GTEST_SOURCE_DIR}/googletest/include/gtest/gtest.h)
  message(STATUS "No GoogleTest sources in ${GTEST_SOURCE_DIR}: the Windows test runner is not built")
  set(WIN_TEST_SRC "")
endif()

if(QUINDLE_COMPILE_ONLY)
  # Compiled, not linked: proves the suites build for this target.
  if(WIN_TEST_SRC)
    add_library(quindle_wintests_objects OBJECT ${WIN_TEST_SRC})
    target_include_directories(quindle_wintests_objects PRIVATE
      ${CMAKE_SOURCE_DIR}/tests ${GTEST_SOURCE_DIR}/googletest/include)
    # For the headers: the suites see every library.
    target_link_libraries(quindle_wintests_objects PRIVATE quindle_app rassim_core)
  endif()
elseif(WIN_TEST_SRC)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # GoogleTest uses the same (static) C runtime as the rest.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # The program's icons (without its manifest), loaded as the program loads them.
  add_executable(quindle_wintests ${WIN_TEST_SRC} ${QUINDLE_RESOURCES}/Icons.rc)
  target_include_directories(quindle_wintests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${QUINDLE_RESOURCES})
  target_link_libraries(quindle_wintests PRIVATE quindle_app rassim_core gtest gtest_main)
  # The program's own manifest, read by the resource compiler from the
  # resources folder: the suites run as Quindle.exe runs.
  target_sources(quindle_wintests PRIVATE ${CMAKE_SOURCE_DIR}/tests/win32/WinTests.rc)
  target_include_directories(quindle_wintests PRIVATE ${QUINDLE_RESOURCES})
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/tests/win32/WinTests.rc APPEND PROPERTY OBJECT_DEPENDS
    ${QUINDLE_RESOURCES}/Quindle.manifest)
  if(MSVC)
    target_link_options(quindle_wintests PRIVATE /MANIFEST:NO)
  endif()

  # A library that lives only beside the test runner: the loader must not
  # find it there.
  add_library(quindle_probe SHARED ${CMAKE_SOURCE_DIR}/tests/win32/probe/QuindleProbe.c)
  set_target_properties(quindle_probe PROPERTIES PREFIX "" OUTPUT_NAME quindle_probe
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  add_dependencies(quindle_wintests quindle_probe)

  if(MINGW)
    # The test runner gains nothing from full optimisation, and compiles in
    # half the time without it.
    target_compile_options(quindle_wintests PRIVATE -O1)
    target_compile_options(gtest PRIVATE -O1)
    target_compile_options(gtest_main PRIVATE -O1)
  endif()
endif()

# ---- benchmarks: bench/*_win.cpp, run under Wine by scripts/bench -----------
if(NOT QUINDLE_COMPILE_ONLY)
  quindle_glob(BENCH_WIN_SRC ${CMAKE_SOURCE_DIR}/bench/*_win.cpp)
  # Window programs that stand beside Quindle.exe in the start-up figures,
  # with nothing of Quindle's own: the minimal window, and the floor (the
  # platform parts Quindle needs); and the long run's probe. None links
  # anything of Quindle's own.
  set(BENCH_STANDALONE minimal_win floor_win soak_probe_win)
  foreach(src ${BENCH_WIN_SRC})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} EXCLUDE_FROM_ALL ${src})
    if(name IN_LIST BENCH_STANDALONE)
      set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
    else()
      target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
      target_link_libraries(${name} PRIVATE quindle_app rassim_core)
    endif()
  endforeach()
  target_sources(floor_win PRIVATE ${CMAKE_SOURCE_DIR}/bench/floor_win.rc)
  target_include_directories(floor_win PRIVATE ${QUINDLE_RESOURCES})
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/bench/floor_win.rc APPEND PROPERTY OBJECT_DEPENDS
    ${QUINDLE_RESOURCES}/Quindle.manifest ${QUINDLE_RESOURCES}/app.ico)
  target_link_libraries(floor_win PRIVATE comctl32 shell32 ws2_32 user32 gdi32)
  # A console program that reads a running Quindle.exe's counts and pane for
  # the long run under Wine (scripts/soak-wine).
  set_target_properties(soak_probe_win PROPERTIES WIN32_EXECUTABLE OFF)
  target_link_libraries(soak_probe_win PRIVATE psapi user32 ntdll)
  if(MINGW)
    target_link_options(floor_win PRIVATE $<$<CONFIG:Release>:-s> -Wl,--file-alignment=4096)
  endif()
endif()

# ---- the import check's proof: tests/imports/newer_import.c ----------------
# A program that imports a Vista function directly, which scripts/check-imports
# must refuse (scripts/check-imports --self-test).
if(NOT QUINDLE_COMPILE_ONLY)
  add_executable(newer_import ${CMAKE_SOURCE_DIR}/tests/imports/newer_import.c)
  target_link_libraries(newer_import PRIVATE kernel32)
endif()
