# The host tree: the portable core over the posix platform, the maker tool,
# unit and differential tests (Debug, with ASan and UBSan), benchmarks (Release).
set(KORVI_SANITIZE $<$<CONFIG:Debug>:-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all>)

# The posix platform's services; its answers for a Windows system come from
# platform/posix/system.cpp in the tool and from the scripted double of
# tests/support/ in the tests.
set(KORVI_POSIX_SOURCES ${CMAKE_SOURCE_DIR}/platform/posix/platform.cpp)
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
# The tool's parts in a library that the unit tests link too; the program
# adds its entry and the console's answers to the core's prompts.
file(GLOB KORVI_MKSFX_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/mksfx/*.cpp)
list(REMOVE_ITEM KORVI_MKSFX_SOURCES ${CMAKE_SOURCE_DIR}/tools/mksfx/core_messages_win32.cpp
     ${CMAKE_SOURCE_DIR}/tools/mksfx/main.cpp ${CMAKE_SOURCE_DIR}/tools/mksfx/core_prompts.cpp)
add_library(mksfx_parts STATIC ${KORVI_MKSFX_SOURCES})
target_include_directories(mksfx_parts PUBLIC ${CMAKE_SOURCE_DIR} ${LIBDEFLATE_INCLUDE_DIR})
target_compile_definitions(mksfx_parts PUBLIC KORVI_WITH_LIBDEFLATE=1)
target_link_libraries(mksfx_parts PUBLIC korvi_core ${LIBDEFLATE_LIBRARY} ZLIB::ZLIB)
add_executable(mksfx ${CMAKE_SOURCE_DIR}/tools/mksfx/main.cpp ${CMAKE_SOURCE_DIR}/tools/mksfx/core_prompts.cpp
                     ${CMAKE_SOURCE_DIR}/platform/posix/system.cpp)
target_link_libraries(mksfx PRIVATE mksfx_parts)
set_target_properties(mksfx PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

add_executable(deflate_choice ${CMAKE_SOURCE_DIR}/tests/bench/deflate_choice.cpp)
target_include_directories(deflate_choice PRIVATE ${LIBDEFLATE_INCLUDE_DIR} ${CMAKE_SOURCE_DIR})
target_link_libraries(deflate_choice PRIVATE mksfx_parts ${LIBDEFLATE_LIBRARY} ZLIB::ZLIB)
include(GoogleTest)
file(GLOB KORVI_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_executable(unit_tests ${KORVI_UNIT_SOURCES})
target_link_libraries(unit_tests PRIVATE korvi_core mksfx_parts GTest::gtest GTest::gtest_main GTest::gmock ZLIB::ZLIB)
target_compile_definitions(unit_tests PRIVATE KORVI_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
# The stub's version resource as the resource compiler makes it, for the
# tests of mksfx's rewriting of it (tools/mksfx/version_info.h).
find_program(KORVI_WINDRES NAMES i686-w64-mingw32-windres)
if(KORVI_WINDRES)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/version_resource.res
    COMMAND ${KORVI_WINDRES} -O res ${CMAKE_SOURCE_DIR}/Sfx/version.rc ${CMAKE_BINARY_DIR}/version_resource.res
    DEPENDS ${CMAKE_SOURCE_DIR}/Sfx/version.rc
    COMMENT "Compiling the stub's version resource for the unit tests")
  add_custom_target(version_resource DEPENDS ${CMAKE_BINARY_DIR}/version_resource.res)
  add_dependencies(unit_tests version_resource)
  target_compile_definitions(unit_tests PRIVATE KORVI_VERSION_RES="${CMAKE_BINARY_DIR}/version_resource.res")
else()
  message(WARNING "no i686-w64-mingw32-windres: the version resource's tests are skipped (bash scripts/install-deps.sh)")
endif()
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1")

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/bench/host.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/bench/host.cmake)
endif()

# The maker tool's shell tests: each tests/tool/test_*.sh is one CTest test,
# over a stand-in stub (tests/tool/make_stub.py), as the Windows tree may not
# be built yet.
file(GLOB KORVI_TOOL_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/tool/test_*.sh)
foreach(script ${KORVI_TOOL_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  string(REGEX REPLACE "^test_" "" name ${name})
  add_test(NAME tool.${name} COMMAND bash ${script})
  set_tests_properties(tool.${name} PROPERTIES TIMEOUT 300 ENVIRONMENT
    "MKSFX=$<TARGET_FILE:mksfx>;KORVI_SOURCE=${CMAKE_SOURCE_DIR};KORVI_STUB_SIZE=${KORVI_STUB_SIZE};TOOL_WORK=${CMAKE_BINARY_DIR}/tool-tests;ASAN_OPTIONS=detect_leaks=1")
endforeach()
