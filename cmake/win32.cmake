# The win32 tree: the stub, the maker tool and the automation program for the
# Wine end-to-end tests.
enable_language(RC)

# --- The stub --------------------------------------------------------------
# No C runtime start-up, no exceptions, no RTTI: the entry point is our own
# (platform/win32/entry.cpp) and the few C library functions the code calls
# are the stub's own (platform/win32/crt.cpp): it imports no C runtime.
file(GLOB KORVI_WIN32_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp
  ${CMAKE_SOURCE_DIR}/Dialog/*.cpp
  ${CMAKE_SOURCE_DIR}/Dialogsel/*.cpp)
list(REMOVE_ITEM KORVI_WIN32_SOURCES ${KORVI_PORTABLE_DIALOGSEL})
file(GLOB KORVI_RESOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/Dialog/*.rc
  ${CMAKE_SOURCE_DIR}/Dialogsel/*.rc)
list(APPEND KORVI_RESOURCES ${CMAKE_SOURCE_DIR}/SFXstrings/strings.rc ${CMAKE_SOURCE_DIR}/Sfx/version.rc)

set(KORVI_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${KORVI_GENERATED})
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/make_icon.py)
  add_custom_command(OUTPUT ${KORVI_GENERATED}/mnicon.ico
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${KORVI_GENERATED}/mnicon.ico
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py
    COMMENT "Drawing the icon MNICON")
  list(APPEND KORVI_RESOURCES ${KORVI_GENERATED}/mnicon.ico)
  # windres reads the icon through the .rc; a new drawing must rebuild it.
  set_source_files_properties(${CMAKE_SOURCE_DIR}/Dialog/main.rc PROPERTIES OBJECT_DEPENDS ${KORVI_GENERATED}/mnicon.ico)
endif()

# windres reads the manifest through Dialog/manifest.rc; a change must rebuild it.
set_source_files_properties(${CMAKE_SOURCE_DIR}/Dialog/manifest.rc PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/Dialog/sfx.manifest)
# And the catalogue through SFXstrings/strings.rc.
set_source_files_properties(${CMAKE_SOURCE_DIR}/SFXstrings/strings.rc PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/SFXstrings/catalogue.def)

add_executable(sfx_linked WIN32 ${KORVI_CORE_SOURCES} ${KORVI_WIN32_SOURCES} ${KORVI_RESOURCES})
set_source_files_properties(${KORVI_GENERATED}/mnicon.ico PROPERTIES HEADER_FILE_ONLY ON)
target_include_directories(sfx_linked PRIVATE ${CMAKE_SOURCE_DIR})
# No C runtime, so no errno: the math built-ins (llrint) become instructions.
# Data aligned as the ABI asks, not to 32 bytes for vector loads the stub
# never makes (a text of 103 bytes took 128).
target_compile_options(sfx_linked PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:-Oz -fno-exceptions -fno-rtti -fno-math-errno -mno-stack-arg-probe -malign-data=abi
  -Werror=frame-larger-than=3584
  -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-ident -fno-stack-protector
  -fno-threadsafe-statics -mpreferred-stack-boundary=2 -fomit-frame-pointer -Wall -Wextra -Wno-unused-parameter>)
# The stub's own functions take their first three arguments in registers
# (1.3 KB less code), and so do the C library functions it defines itself
# (platform/win32/crt.cpp) and every call the compiler makes of them. The
# system's functions and the callbacks it calls keep the stack: they are
# declared WINAPI or CALLBACK, that is __stdcall, here with regparm(0) made
# explicit. The stub calls no imported function of another convention
# (tests/e2e/check_stub.py looks).
set(KORVI_STACK_ARGS "__attribute__((__stdcall__,__regparm__(0)))")
target_compile_options(sfx_linked PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-mregparm=3
  -U__stdcall -U_stdcall -D__stdcall=${KORVI_STACK_ARGS} -D_stdcall=${KORVI_STACK_ARGS}>)
target_compile_definitions(sfx_linked PRIVATE KORVI_STUB=1)
# Stack probes: Windows commits a thread's stack a page at a time as it is
# touched, below a guard page, so a frame larger than a page must be touched
# page by page (___chkstk_ms). With probes on, the compiler also sets up
# every call's arguments with moves into a frame it has reserved, not with
# pushes: 2 KB more code. The stub's frames stay below 3,584 bytes, under a
# page with room for the registers, return address and arguments pushed
# (-Werror=frame-larger-than fails the build otherwise), and need no probes;
# the files named here have larger frames and keep them.
set(KORVI_LARGE_FRAME_SOURCES ${CMAKE_SOURCE_DIR}/archive/volume.cpp)
set_property(SOURCE ${KORVI_LARGE_FRAME_SOURCES} APPEND PROPERTY COMPILE_OPTIONS
  -mstack-arg-probe -Wno-frame-larger-than)
# -O2 after the target's -Os, so it wins for these files.
set_source_files_properties(${KORVI_SPEED_SOURCES} PROPERTIES COMPILE_OPTIONS -O2)
# The dialogs, the start-up and the walk's bookkeeping run once per run or per
# entry, never per byte: no small function inlined, no loop transformed, no
# prologue moved into a branch (shrink-wrapping) and no jump threading along
# known conditions (dominator optimisations) there: 360 and 144 bytes less
# code. The per-byte paths keep the target's options.
file(GLOB KORVI_ONCE_SOURCES
  ${CMAKE_SOURCE_DIR}/Dialog/*.cpp ${CMAKE_SOURCE_DIR}/Dialogsel/*.cpp ${CMAKE_SOURCE_DIR}/Sfx/*.cpp
  ${CMAKE_SOURCE_DIR}/SFXstrings/*.cpp ${CMAKE_SOURCE_DIR}/support/*.cpp)
list(APPEND KORVI_ONCE_SOURCES ${CMAKE_SOURCE_DIR}/platform/win32/platform.cpp
  ${CMAKE_SOURCE_DIR}/platform/win32/messages.cpp)
foreach(name driver walk names volume zone header)
  list(APPEND KORVI_ONCE_SOURCES ${CMAKE_SOURCE_DIR}/archive/${name}.cpp)
endforeach()
set_property(SOURCE ${KORVI_ONCE_SOURCES} APPEND PROPERTY COMPILE_OPTIONS
  -fno-inline-small-functions -fno-tree-loop-optimize -fno-shrink-wrap -fno-tree-dominator-opts)
# The stub's own C library functions: no builtins, no loop turned into a call.
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win32/crt.cpp PROPERTIES
  COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")
# Files that hold functions the stub does not call beside those it calls
# (the C library functions the compiler may want one day, the AES encryption
# of the maker): each function in a section of its own, so that the link
# leaves the unused ones out. Not everywhere: a section is aligned to 4
# bytes, which costs more than it saves in the other files, and the link
# drops a file's section that nothing calls into anyway.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/platform/win32/crt.cpp
  ${CMAKE_SOURCE_DIR}/archive/aes.cpp ${CMAKE_SOURCE_DIR}/archive/winzip_aes.cpp
  APPEND PROPERTY COMPILE_OPTIONS -ffunction-sections)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${KORVI_GENERATED} -I${CMAKE_SOURCE_DIR}")
# Four sections (cmake/stub.ld): the code, its constants and the import
# tables in one; tools/pad_stub.py then fits the headers into 512 bytes.
target_link_options(sfx_linked PRIVATE -nostdlib -s -Wl,--gc-sections
  -Wl,-e,_SfxStart@0 -Wl,--subsystem,windows -Wl,--dynamicbase -Wl,--nxcompat
  -Wl,--no-insert-timestamp -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/stub.ld)
set_property(TARGET sfx_linked APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/stub.ld)
target_link_libraries(sfx_linked PRIVATE kernel32 user32 gdi32 shell32 gcc)

# The shipped stub: the linked image with its headers in 512 bytes (a shorter
# DOS program), padded with zeros to exactly StubSize bytes; the build fails
# when the image is larger.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/sfx.exe
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/pad_stub.py
          $<TARGET_FILE:sfx_linked> ${CMAKE_BINARY_DIR}/sfx.exe ${KORVI_STUB_SIZE}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/version_values.py ${CMAKE_BINARY_DIR}/sfx.exe
  DEPENDS sfx_linked ${CMAKE_SOURCE_DIR}/tools/pad_stub.py ${CMAKE_SOURCE_DIR}/tools/version_values.py
          ${CMAKE_SOURCE_DIR}/Sfx/layout.h
  COMMENT "Padding the stub to ${KORVI_STUB_SIZE} bytes")
add_custom_target(stub ALL DEPENDS ${CMAKE_BINARY_DIR}/sfx.exe)

# --- Tools that run on Windows ---------------------------------------------
# mksfx.exe: the same source as the host's, over the core and the Win32
# platform (its own console messages instead of message boxes), with zlib:
# Debian packages no libdeflate for mingw.
find_package(ZLIB REQUIRED)
add_library(korvi_console_core STATIC ${KORVI_CORE_SOURCES} ${CMAKE_SOURCE_DIR}/platform/win32/platform.cpp)
target_include_directories(korvi_console_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(korvi_console_core PRIVATE -O2 -Wall -Wextra -Wno-unused-parameter)
file(GLOB KORVI_MKSFX_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/mksfx/*.cpp)
list(REMOVE_ITEM KORVI_MKSFX_SOURCES ${CMAKE_SOURCE_DIR}/tools/mksfx/core_messages_posix.cpp)
add_executable(mksfx ${KORVI_MKSFX_SOURCES})
target_include_directories(mksfx PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(mksfx PRIVATE korvi_console_core ZLIB::ZLIB shell32)
target_link_options(mksfx PRIVATE -static -s -mconsole)

add_executable(sfxdrive tests/e2e/sfxdrive.cpp)
target_link_options(sfxdrive PRIVATE -static -s -mconsole)
target_link_libraries(sfxdrive PRIVATE user32 gdi32 shell32 version)

# The program that the tests of the run after extraction put into archives:
# it records its arguments and current folder. A GUI program, so that no
# console window comes up when it is started.
add_executable(recorder tests/e2e/recorder.cpp)
target_link_options(recorder PRIVATE -static -s -mwindows)

include(${CMAKE_SOURCE_DIR}/tests/e2e/tests.cmake)
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/bench/win32.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/bench/win32.cmake)
endif()
