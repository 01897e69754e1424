# Run at every build (cmake -P): writes the header that the version resource
# reads. The project version is the one version number; a build of the commit
# tagged v<version>, with nothing changed, is the release. Any other build names
# its commit in PrivateBuild, so two builds can be told apart.
#
#   -DSOURCE_DIR=<tree> -DVERSION=<x.y.z[.w]> -DOUT=<header>

cmake_policy(VERSION 3.20)

string(REPLACE "." ";" parts "${VERSION}")
list(LENGTH parts n)
while(n LESS 4)
  list(APPEND parts 0)
  math(EXPR n "${n} + 1")
endwhile()
list(JOIN parts "," binary)
list(JOIN parts "." text)

set(private "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
endif()
if(NOT GIT_FOUND OR failed)
  # A tree without its history (an unpacked archive) cannot prove it is the release.
  set(private "unknown commit")
else()
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} status --porcelain
                  OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} tag --points-at HEAD
                  OUTPUT_VARIABLE tags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  string(REPLACE "\n" ";" tags "${tags}")
  if(changes)
    set(private "${commit}-modified")
  elseif(NOT "v${VERSION}" IN_LIST tags)
    set(private "${commit}")
  endif()
endif()

set(content "// Written by cmake/version_info.cmake at build time.\n")
string(APPEND content "#define BRISVALE_VERSION_BINARY ${binary}\n")
string(APPEND content "#define BRISVALE_VERSION_TEXT \"${text}\"\n")
if(private)
  string(APPEND content "#define BRISVALE_FILEFLAGS 0x8L\n") # VS_FF_PRIVATEBUILD
  string(APPEND content "#define BRISVALE_PRIVATE_BUILD \"${private}\"\n")
else()
  string(APPEND content "#define BRISVALE_FILEFLAGS 0x0L\n")
endif()

# Rewritten only when it changes, so an unchanged tree relinks nothing.
if(EXISTS ${OUT})
  file(READ ${OUT} old)
endif()
if(NOT old STREQUAL content)
  file(WRITE ${OUT} "${content}")
endif()
