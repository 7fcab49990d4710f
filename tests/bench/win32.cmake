# The Inflate benchmark for i686, run under Wine: the decoder compiled with the
# stub's own optimisation flags, against the static zlib of libz-mingw-w64-dev
# and, where its source is there, libdeflate's decompressor, timed by the
# benchmark's small runner (Google Benchmark is not packaged for mingw). Run
# tests/bench/inflate_i686.sh, or by hand: wine build/win32/inflate_bench.exe
find_library(KORVI_MINGW_ZLIB NAMES libz.a z)
# Debian packages no libdeflate for mingw: tests/bench/fetch_libdeflate.sh
# brings the source of Debian's package, and its decompressor and CRC-32 are
# built here for the benchmark only.
set(KORVI_LIBDEFLATE_SOURCE ${CMAKE_SOURCE_DIR}/build/libdeflate/src CACHE PATH
    "libdeflate's source for the i686 Inflate benchmark (tests/bench/fetch_libdeflate.sh)")
if(KORVI_MINGW_ZLIB)
  add_library(korvi_bench_core STATIC ${KORVI_CORE_SOURCES})
  target_include_directories(korvi_bench_core PUBLIC ${CMAKE_SOURCE_DIR})
  # The stub's code generation flags (cmake/win32.cmake); KORVI_SPEED_SOURCES
  # get their -O2 from the same source property.
  target_compile_options(korvi_bench_core PRIVATE -Os -fno-exceptions -fno-rtti -ffunction-sections
    -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-stack-protector -fno-threadsafe-statics)
  target_compile_definitions(korvi_bench_core PRIVATE KORVI_STUB=1)
  add_executable(inflate_bench ${CMAKE_SOURCE_DIR}/tests/bench/inflate_bench.cpp
                               ${CMAKE_SOURCE_DIR}/tests/bench/bench_platform.cpp
                               ${CMAKE_SOURCE_DIR}/tests/support/fresh_state.cpp)
  target_compile_options(inflate_bench PRIVATE -O2)
  target_link_libraries(inflate_bench PRIVATE korvi_bench_core ${KORVI_MINGW_ZLIB})
  target_link_options(inflate_bench PRIVATE -static -s -mconsole)
  if(EXISTS ${KORVI_LIBDEFLATE_SOURCE}/lib/deflate_decompress.c)
    set(src ${KORVI_LIBDEFLATE_SOURCE})
    # As libdeflate's own Makefile builds it: -O2, its run-time choice of
    # BMI2 and PCLMULQDQ code by cpuid included.
    add_library(bench_libdeflate STATIC ${src}/lib/deflate_decompress.c ${src}/lib/crc32.c
                                        ${src}/lib/utils.c ${src}/lib/x86/cpu_features.c)
    target_include_directories(bench_libdeflate PUBLIC ${src})
    target_compile_options(bench_libdeflate PRIVATE -O2 -fomit-frame-pointer -std=c99)
    target_link_libraries(inflate_bench PRIVATE bench_libdeflate)
    target_compile_definitions(inflate_bench PRIVATE KORVI_BENCH_LIBDEFLATE=1)
  endif()
  # What WinZip AES decryption adds to an extraction. Run: wine build/win32/aes_bench.exe
  add_executable(aes_bench ${CMAKE_SOURCE_DIR}/tests/bench/aes_bench.cpp
                           ${CMAKE_SOURCE_DIR}/tests/bench/bench_platform.cpp
                           ${CMAKE_SOURCE_DIR}/tests/support/fresh_state.cpp)
  target_compile_options(aes_bench PRIVATE -O2)
  target_link_libraries(aes_bench PRIVATE korvi_bench_core ${KORVI_MINGW_ZLIB})
  target_link_options(aes_bench PRIVATE -static -s -mconsole)
endif()

# The floor of the per-file cost for the end-to-end benchmark
# (scripts/bench-e2e.sh): the same files written with the bare Win32 calls.
add_executable(writeloop ${CMAKE_SOURCE_DIR}/tests/bench/writeloop.cpp)
target_link_options(writeloop PRIVATE -static -s -mconsole)
