# Helpers that give every component the same build settings.

set(RK_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(RK_WERROR)
  list(APPEND RK_WARNINGS -Werror)
endif()
# GCC 12 at -O2/-O3 reports std::string concatenations ("x" + s) as
# overlapping memcpy calls (GCC bug 105651); the warning is noise there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND RK_WARNINGS -Wno-restrict)
endif()

function(rk_apply_settings target)
  target_compile_options(${target} PRIVATE ${RK_WARNINGS})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
endfunction()

# rk_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
function(rk_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  rk_apply_settings(${name})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# rk_private_root(target): a test, fuzz or benchmark program runs under a
# private temporary root unless RK_ROOT names one
# (platform/system/test/private_root.cpp, compiled once).
function(rk_private_root target)
  if(NOT TARGET rk_private_root)
    add_library(rk_private_root OBJECT ${PROJECT_SOURCE_DIR}/platform/system/test/private_root.cpp)
    rk_apply_settings(rk_private_root)
  endif()
  target_link_libraries(${target} PRIVATE rk_private_root)
endfunction()

# rk_test(name SOURCES ... [DEPS ...] [LABELS ...] [RESOURCE_LOCK name]): a
# GoogleTest executable whose cases ctest discovers one by one; cases that
# hold the same lock (a fixed port) never run at the same time.
function(rk_test name)
  if(NOT RK_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT TARGET rk_test_main)
    add_library(rk_test_main STATIC ${PROJECT_SOURCE_DIR}/platform/system/test/test_main.cpp)
    rk_apply_settings(rk_test_main)
    target_link_libraries(rk_test_main PUBLIC GTest::gmock GTest::gtest)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  rk_apply_settings(${name})
  rk_private_root(${name})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} rk_test_main)
  set(props "")
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  if(props)
    list(PREPEND props PROPERTIES)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 ${props})
endfunction()

# rk_fuzz(name SOURCES ... DEPS ...): a libFuzzer target, built only by the
# fuzz preset (clang, -fsanitize=fuzzer).
function(rk_fuzz name)
  if(NOT RK_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  rk_apply_settings(${name})
  rk_private_root(${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()

# rk_bench(name SOURCES ... DEPS ...): a Google Benchmark executable.
function(rk_bench name)
  if(NOT RK_BUILD_BENCH)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  rk_apply_settings(${name})
  rk_private_root(${name})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()

# rk_module(target): a shared object the programs load when they need it
# (platform/system/program_modules.h): built into <build>/lib, installed
# into <libdir>/rkupdater.
include(GNUInstallDirs)
set(RK_MODULE_BUILD_FOLDER lib)
set(RK_MODULE_INSTALL_FOLDER ${CMAKE_INSTALL_LIBDIR}/rkupdater)
function(rk_module target)
  set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/${RK_MODULE_BUILD_FOLDER}")
  install(TARGETS ${target} LIBRARY DESTINATION ${RK_MODULE_INSTALL_FOLDER})
endfunction()

# rk_static_cxx_runtime(target): the C++ runtime (libstdc++) linked into the
# program or module instead of loaded with it: a shorter start (its
# relocations and symbol lookups were a sixth of the page faults of a
# `rkctl --help`, docs/performance.md). For the shipped programs and the
# modules they load, so that a process never holds the static and the
# shared runtime at once. Sanitizer builds keep the shared runtime.
function(rk_static_cxx_runtime target)
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    return()
  endif()
  target_link_options(${target} PRIVATE -static-libstdc++)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "MODULE_LIBRARY" OR type STREQUAL "SHARED_LIBRARY")
    # The runtime's symbols stay the module's own.
    target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL)
  endif()
endfunction()
