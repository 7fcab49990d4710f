# libFuzzer targets: the core over the posix platform, built with clang's
# fuzzer, address and undefined-behaviour sanitizers.
set(KORVI_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
set(KORVI_POSIX_SOURCES ${CMAKE_SOURCE_DIR}/platform/posix/platform.cpp)  # answers for Windows: the scripted double
add_library(korvi_core_fuzz STATIC ${KORVI_CORE_SOURCES} ${KORVI_POSIX_SOURCES})
target_include_directories(korvi_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(korvi_core_fuzz PUBLIC ${KORVI_FUZZ_FLAGS})
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
endif()
