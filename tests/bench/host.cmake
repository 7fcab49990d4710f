# The Inflate benchmark on the host (run its Release build): our decoder
# against zlib and libdeflate on five corpora, with Google Benchmark when it
# is installed.
add_library(korvi_bench_core STATIC ${KORVI_CORE_SOURCES})
target_include_directories(korvi_bench_core PUBLIC ${CMAKE_SOURCE_DIR})
add_executable(inflate_bench ${CMAKE_SOURCE_DIR}/tests/bench/inflate_bench.cpp
                             ${CMAKE_SOURCE_DIR}/tests/bench/bench_platform.cpp
                             ${CMAKE_SOURCE_DIR}/tests/support/fresh_state.cpp)
target_include_directories(inflate_bench PRIVATE ${LIBDEFLATE_INCLUDE_DIR})
target_link_libraries(inflate_bench PRIVATE korvi_bench_core ZLIB::ZLIB ${LIBDEFLATE_LIBRARY})
target_compile_definitions(inflate_bench PRIVATE KORVI_BENCH_LIBDEFLATE=1)
# What WinZip AES decryption adds to an extraction.
add_executable(aes_bench ${CMAKE_SOURCE_DIR}/tests/bench/aes_bench.cpp
                         ${CMAKE_SOURCE_DIR}/tests/bench/bench_platform.cpp
                         ${CMAKE_SOURCE_DIR}/tests/support/fresh_state.cpp)
target_link_libraries(aes_bench PRIVATE korvi_bench_core ZLIB::ZLIB)
find_package(benchmark QUIET)
if(benchmark_FOUND)
  foreach(bench inflate_bench aes_bench)
    target_link_libraries(${bench} PRIVATE benchmark::benchmark)
    target_compile_definitions(${bench} PRIVATE KORVI_GOOGLE_BENCHMARK=1)
  endforeach()
endif()
