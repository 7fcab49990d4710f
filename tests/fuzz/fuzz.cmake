# The fuzz targets and their short, fixed-length runs under CTest: the
# decoder on arbitrary input (checked against zlib where zlib decodes it),
# twice: with the host's 64-bit bit buffer and with the stub's 32-bit one
# (inflate_narrow), the header walk with the count pass on arbitrary
# archives, all three passes over a folder tree with up to three volumes,
# and the command line's switches. Each run starts from the small corpus in
# tests/fuzz/corpus/<corpus>/; new inputs go to the build tree, never into
# the sources. Any crash, leak, timeout or sanitizer report fails the test.
find_package(ZLIB REQUIRED)
# The shared test support: the fresh state, the scripted prompts (every
# question answered with No or nothing), the ZIP builder.
file(GLOB KORVI_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
set(KORVI_FUZZ_LINK -fsanitize=fuzzer,address,undefined)
# target:runs:corpus
foreach(triple inflate:60000:inflate inflate_narrow:30000:inflate walk:40000:walk extract:4000:extract
        switches:20000:switches)
  string(REPLACE ":" ";" triple ${triple})
  list(GET triple 0 target)
  list(GET triple 1 runs)
  list(GET triple 2 corpus)
  add_executable(${target}_fuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/${target}_fuzz.cpp ${KORVI_TEST_SUPPORT})
  target_link_libraries(${target}_fuzz PRIVATE korvi_core_fuzz ZLIB::ZLIB)
  target_link_options(${target}_fuzz PRIVATE ${KORVI_FUZZ_LINK})
  set(found ${CMAKE_BINARY_DIR}/fuzz-found/${target})
  file(MAKE_DIRECTORY ${found})
  add_test(NAME fuzz.${target}
    COMMAND ${target}_fuzz -seed=1 -runs=${runs} -max_len=4096 -timeout=10 -rss_limit_mb=1024
            ${found} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${corpus})
  set_tests_properties(fuzz.${target} PROPERTIES TIMEOUT 300)
endforeach()
# The stub's decoder: the same sources in a namespace of their own, with the
# 32-bit bit buffer (INFLATE_BIT_WORD), as the unit tests build it.
target_sources(inflate_narrow_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/tests/unit/inflate_narrow_decoder.cpp)
