# The Wine end-to-end tests: the real stub in a Wine prefix of this build tree,
# driven by sfxdrive on the virtual display. Each tests/e2e/test_*.sh is one
# CTest test; e2e.prefix makes the prefix anew first, e2e.stop ends its server.
set(KORVI_HOST_TOOLS "${CMAKE_SOURCE_DIR}/build/host/tools/Debug" CACHE PATH "host build's tools folder (mksfx)")
set(KORVI_E2E_ENV
  "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
  "WINEARCH=win32"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "KORVI_WIN32=${CMAKE_BINARY_DIR}"
  "KORVI_HOST_TOOLS=${KORVI_HOST_TOOLS}"
  "KORVI_SOURCE=${CMAKE_SOURCE_DIR}")

add_test(NAME stub.hygiene COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/check_stub.py
  ${CMAKE_BINARY_DIR}/sfx.exe ${KORVI_STUB_SIZE})
add_test(NAME stub.conventions COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/check_conventions.py
  ${CMAKE_NM} $<TARGET_OBJECTS:sfx_linked>)

add_test(NAME e2e.prefix COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/make_prefix.sh)
set_tests_properties(e2e.prefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${KORVI_E2E_ENV}" TIMEOUT 180)
add_test(NAME e2e.stop COMMAND bash -c "wineserver -k </dev/null >/dev/null 2>&1 || true")
set_tests_properties(e2e.stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${KORVI_E2E_ENV}")

file(GLOB KORVI_E2E_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.sh)
foreach(script ${KORVI_E2E_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  string(REGEX REPLACE "^test_" "" name ${name})
  add_test(NAME e2e.${name} COMMAND bash ${script})
  set_tests_properties(e2e.${name} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${KORVI_E2E_ENV}"
    TIMEOUT 240 RESOURCE_LOCK wine)
endforeach()
# Archives from real writers: 34 programs, the writers' tools first (npm
# fetches the Node packages into the build tree on the first run).
set_tests_properties(e2e.auto_writers PROPERTIES TIMEOUT 900)
