# What makes the exe a release: the application manifest (also linked into the
# Windows test programs, so they run the window code as the exe does) and the
# version resource fed from the project version and the commit.

if(WIN32)
  add_library(brisvale_manifest OBJECT ${PROJECT_SOURCE_DIR}/res/manifest.rc)
  target_include_directories(brisvale_manifest PRIVATE ${PROJECT_SOURCE_DIR}/res)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/res/manifest.rc PROPERTIES
    OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/res/brisvale.manifest)
endif()

# Build paths stay out of the objects (in file names and debug information), so
# the exe is the same bytes wherever the tree and the build folder lie: the
# exe names its debug file by a checksum of that file.
if(NOT MSVC)
  target_compile_options(brisvale_options INTERFACE
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
endif()

# objcopy and strip stamp the time of their run into a PE header they rewrite,
# unless SOURCE_DATE_EPOCH names one; 0 matches the linker's empty stamp.
set(BRISVALE_NO_PE_STAMP ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0)

# Gives <target> (the exe, whose sources hold res/brisvale.rc) its version
# resource and manifest. Without a link timestamp the exe's bytes depend only
# on what it is built from.
function(brisvale_release_resources target)
  set(dir ${PROJECT_BINARY_DIR}/generated)
  set(header ${dir}/brisvale_version.h)
  add_custom_target(${target}_version_info
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DVERSION=${PROJECT_VERSION}
            -DOUT=${header} -P ${PROJECT_SOURCE_DIR}/cmake/version_info.cmake
    BYPRODUCTS ${header}
    COMMENT "Version resource: ${PROJECT_VERSION} and the commit"
    VERBATIM)
  add_dependencies(${target} ${target}_version_info)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/res/brisvale.rc
    TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${header})
  target_include_directories(${target} PRIVATE ${dir})
  target_link_libraries(${target} PRIVATE brisvale_manifest)
  if(MINGW)
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  endif()
endfunction()
