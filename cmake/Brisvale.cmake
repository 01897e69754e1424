# Project-wide settings shared by every folder.

option(BRISVALE_BUILD_TESTS "Build the tests" ON)
option(BRISVALE_SANITIZE "Build native code with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(BRISVALE_FUZZ "Build the fuzzers (clang with libFuzzer, native only)" OFF)
option(BRISVALE_BENCH "Build the benchmarks" OFF)
# CI keeps the build free of warnings with this; off by default, so that a newer
# compiler's new warning never stops someone building the tool.
option(BRISVALE_WERROR "Treat compiler warnings as errors" OFF)

# Every text of the system is GBK (code page 936) in the program; sources stay UTF-8.
if(MSVC)
  set(BRISVALE_GBK_FLAGS /source-charset:utf-8 /execution-charset:.936)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Clang can only store literals as UTF-8. The fuzzer tree is built with it:
  # the fuzzers work on raw bytes and never on the program's Chinese texts.
  # The program and its tests are built with GCC.
  set(BRISVALE_GBK_FLAGS -finput-charset=UTF-8)
  if(NOT BRISVALE_FUZZ)
    message(WARNING "clang stores string literals as UTF-8, not GBK: build the program with GCC")
  endif()
else()
  set(BRISVALE_GBK_FLAGS -finput-charset=UTF-8 -fexec-charset=GBK)
endif()

if(MSVC)
  set(BRISVALE_WARNINGS /W4 $<$<BOOL:${BRISVALE_WERROR}>:/WX>)
else()
  set(BRISVALE_WARNINGS -Wall -Wextra -Wno-missing-field-initializers $<$<BOOL:${BRISVALE_WERROR}>:-Werror>)
endif()

add_library(brisvale_options INTERFACE)
target_compile_options(brisvale_options INTERFACE ${BRISVALE_GBK_FLAGS} ${BRISVALE_WARNINGS})
target_include_directories(brisvale_options INTERFACE ${PROJECT_SOURCE_DIR})
if(WIN32)
  target_compile_definitions(brisvale_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()
if(BRISVALE_SANITIZE AND NOT WIN32)
  # The standard library's own bounds checks too: an index past a std::array
  # or a std::vector ends the test even where it lands in another object.
  target_compile_options(brisvale_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_definitions(brisvale_options INTERFACE _GLIBCXX_ASSERTIONS)
  target_link_options(brisvale_options INTERFACE -fsanitize=address,undefined)
endif()
if(MINGW)
  # The exe and the test programs must run without any MinGW DLL beside them.
  target_link_options(brisvale_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# Sources of a folder: portable files always, files under win/ only on Windows,
# files under posix/ (the few stand-ins for what win/ does) everywhere else.
function(brisvale_sources out dir)
  file(GLOB portable CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(all ${portable})
  if(WIN32)
    file(GLOB platform CONFIGURE_DEPENDS ${dir}/win/*.cpp)
  else()
    file(GLOB platform CONFIGURE_DEPENDS ${dir}/posix/*.cpp)
  endif()
  list(APPEND all ${platform})
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# A folder's library: static when it has sources for this tree, else an
# interface library that only passes its dependencies on.
function(brisvale_library name dir)
  brisvale_sources(srcs ${dir})
  list(FILTER srcs EXCLUDE REGEX "/win/main_win\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/Release.cmake)
