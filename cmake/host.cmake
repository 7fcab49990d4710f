# The host tree: the portable core over the posix platform, the maker tool,
# unit and differential tests (Debug, with ASan and UBSan), benchmarks (Release).
set(KORVI_SANITIZE $<$<CONFIG:Debug>:-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all>)

file(GLOB KORVI_POSIX_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/posix/*.cpp)
add_library(korvi_core STATIC ${KORVI_CORE_SOURCES} ${KORVI_POSIX_SOURCES})
target_include_directories(korvi_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(korvi_core PUBLIC ${KORVI_SANITIZE} -Wall -Wextra -Wno-unused-parameter)
target_link_options(korvi_core PUBLIC ${KORVI_SANITIZE})

find_package(GTest REQUIRED)
find_package(ZLIB REQUIRED)

# mksfx reads self-extracting files back with the core (posix platform) and
# compresses with libdeflate (tests/bench/deflate_choice.cpp measured it
# against zlib); zlib still gives it CRC-32 and Inflate.
find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h REQUIRED)
find_library(LIBDEFLATE_LIBRARY deflate REQUIRED)
file(GLOB KORVI_MKSFX_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/mksfx/*.cpp)
list(REMOVE_ITEM KORVI_MKSFX_SOURCES ${CMAKE_SOURCE_DIR}/tools/mksfx/core_messages_win32.cpp)
add_executable(mksfx ${KORVI_MKSFX_SOURCES})
target_include_directories(mksfx PRIVATE ${CMAKE_SOURCE_DIR} ${LIBDEFLATE_INCLUDE_DIR})
target_compile_definitions(mksfx PRIVATE KORVI_WITH_LIBDEFLATE=1)
target_link_libraries(mksfx PRIVATE korvi_core ${LIBDEFLATE_LIBRARY} ZLIB::ZLIB)
set_target_properties(mksfx PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

add_executable(deflate_choice ${CMAKE_SOURCE_DIR}/tests/bench/deflate_choice.cpp)
target_include_directories(deflate_choice PRIVATE ${LIBDEFLATE_INCLUDE_DIR})
target_link_libraries(deflate_choice PRIVATE ${LIBDEFLATE_LIBRARY} ZLIB::ZLIB)
include(GoogleTest)
file(GLOB KORVI_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_executable(unit_tests ${KORVI_UNIT_SOURCES})
target_link_libraries(unit_tests PRIVATE korvi_core GTest::gtest GTest::gtest_main GTest::gmock ZLIB::ZLIB)
target_compile_definitions(unit_tests PRIVATE KORVI_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1")

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/bench/host.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/bench/host.cmake)
endif()
