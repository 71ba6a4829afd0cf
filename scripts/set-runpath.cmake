# cmake -DFILE=... -P set-runpath.cmake: a program in bin/ finds its libraries in ../lib,
# a library in lib/ beside itself. A file that had no RUNPATH needs none.
file(READ_ELF "${FILE}" RUNPATH runpath RPATH rpath)
if(runpath OR rpath)
  get_filename_component(dir "${FILE}" DIRECTORY)
  get_filename_component(dir "${dir}" NAME)
  if(dir STREQUAL "bin")
    file(RPATH_SET FILE "${FILE}" NEW_RPATH "$ORIGIN/../lib")
  else()
    file(RPATH_SET FILE "${FILE}" NEW_RPATH "$ORIGIN")
  endif()
endif()
