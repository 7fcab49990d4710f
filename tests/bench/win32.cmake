# The Inflate benchmark for i686, run under Wine: the decoder compiled with the
# stub's own optimisation flags, against the static zlib of libz-mingw-w64-dev,
# timed by the benchmark's small runner (Google Benchmark is not packaged for
# mingw). Run: wine build/win32/inflate_bench.exe
find_library(KORVI_MINGW_ZLIB NAMES libz.a z)
if(KORVI_MINGW_ZLIB)
  add_library(korvi_bench_core STATIC ${KORVI_CORE_SOURCES})
  target_include_directories(korvi_bench_core PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(korvi_bench_core PRIVATE -Os -fno-exceptions -fno-rtti)
  add_executable(inflate_bench ${CMAKE_SOURCE_DIR}/tests/bench/inflate_bench.cpp
                               ${CMAKE_SOURCE_DIR}/tests/bench/bench_platform.cpp
                             ${CMAKE_SOURCE_DIR}/tests/support/fresh_state.cpp)
  target_compile_options(inflate_bench PRIVATE -O2)
  target_link_libraries(inflate_bench PRIVATE korvi_bench_core ${KORVI_MINGW_ZLIB})
  target_link_options(inflate_bench PRIVATE -static -s -mconsole)
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
