# Run by cpack on the staged files, before it builds a package
# (CPACK_PRE_BUILD_SCRIPTS). For a Debian package: manual pages go in
# compressed, and the dependencies must come from dpkg-shlibdeps.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

# Without dpkg-shlibdeps CPack would build a package with no dependencies.
find_program(shlibdeps dpkg-shlibdeps)
if(NOT shlibdeps)
  message(FATAL_ERROR "cpack -G DEB needs dpkg-shlibdeps: apt-get install dpkg-dev file")
endif()

# Debian ships manual pages compressed with gzip -9n.
file(GLOB_RECURSE pages
  "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/man/man*/*.[1-9]")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()
