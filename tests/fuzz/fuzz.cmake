# The fuzz targets and their short, fixed-length runs under CTest: the
# decoder on arbitrary input (checked against zlib where zlib decodes it) and
# the header walk with the count pass on arbitrary archives, and all three
# passes over a folder tree with up to three volumes. Each run starts
# from the small corpus in tests/fuzz/corpus/<target>/; new inputs go to the
# build tree, never into the sources. Any crash, leak, timeout or sanitizer
# report fails the test.
find_package(ZLIB REQUIRED)
# The shared test support: the fresh state, the scripted prompts (every
# question answered with No or nothing), the ZIP builder.
file(GLOB KORVI_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
set(KORVI_FUZZ_LINK -fsanitize=fuzzer,address,undefined)
foreach(pair inflate:60000 walk:40000 extract:4000)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 target)
  list(GET pair 1 runs)
  add_executable(${target}_fuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/${target}_fuzz.cpp ${KORVI_TEST_SUPPORT})
  target_link_libraries(${target}_fuzz PRIVATE korvi_core_fuzz ZLIB::ZLIB)
  target_link_options(${target}_fuzz PRIVATE ${KORVI_FUZZ_LINK})
  set(found ${CMAKE_BINARY_DIR}/fuzz-found/${target})
  file(MAKE_DIRECTORY ${found})
  add_test(NAME fuzz.${target}
    COMMAND ${target}_fuzz -seed=1 -runs=${runs} -max_len=4096 -timeout=10 -rss_limit_mb=1024
            ${found} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target})
  set_tests_properties(fuzz.${target} PROPERTIES TIMEOUT 300)
endforeach()
