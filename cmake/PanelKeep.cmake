# Helpers shared by every folder's CMakeLists.txt.

# pk_library(NAME [SOURCES...] DEPS ...): a static library of every .cpp (and
# .qrc) in the calling folder, unless SOURCES are given.  Headers are included
# by their path from the project root ("platform/paradox/table.h").
function(pk_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
      ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# pk_test(NAME SOURCES... DEPS ...): a GoogleTest program with the shared test
# main (offscreen Qt platform, private runtime folder), registered with CTest.
function(pk_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE test_support ${ARG_DEPS})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# pk_bench(NAME SOURCES... DEPS ...): a Google Benchmark program, built with
# everything else and never run by the tests.
function(pk_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark ${ARG_DEPS})
endfunction()

# pk_libfuzzer_or_skip(WHAT): sets PKEEP_CLANGXX and returns normally when
# clang++ with libFuzzer (Debian: clang, libclang-rt-14-dev) can build a
# fuzzer with AddressSanitizer and UBSan; otherwise it says that WHAT is not
# built, and the calling folder should return().  -DPKEEP_FUZZ=ON makes a
# missing clang an error instead of a skip.  The result is in
# PKEEP_LIBFUZZER_WORKS.
function(pk_libfuzzer_or_skip what)
  find_program(PKEEP_CLANGXX NAMES clang++ clang++-14)
  get_property(probed GLOBAL PROPERTY PKEEP_LIBFUZZER_PROBED)
  if(NOT probed)
    set(works FALSE)
    if(PKEEP_CLANGXX)
      set(probe_dir ${CMAKE_BINARY_DIR}/libfuzzer_probe)
      file(WRITE ${probe_dir}/probe.cpp
        "#include <cstdint>\n#include <cstddef>\n"
        "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
      execute_process(
        COMMAND ${PKEEP_CLANGXX} -fsanitize=fuzzer,address,undefined probe.cpp -o probe
        WORKING_DIRECTORY ${probe_dir} RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
      if(probe_result EQUAL 0)
        set(works TRUE)
      endif()
    endif()
    set_property(GLOBAL PROPERTY PKEEP_LIBFUZZER_PROBED TRUE)
    set_property(GLOBAL PROPERTY PKEEP_LIBFUZZER_WORKS ${works})
  endif()
  get_property(works GLOBAL PROPERTY PKEEP_LIBFUZZER_WORKS)
  if(NOT works)
    if(PKEEP_FUZZ)
      message(FATAL_ERROR "PKEEP_FUZZ needs clang++ with libFuzzer (clang, libclang-rt-14-dev)")
    endif()
    message(STATUS "clang with libFuzzer not found: ${what} not built")
  endif()
  set(PKEEP_LIBFUZZER_WORKS ${works} PARENT_SCOPE)
endfunction()
