# `cmake --install build --prefix DIR` lays out DIR as the build folder is laid out: programs in
# bin/, libraries in lib/, shared data (the designs, later the toolbar's resources) in share/.
# Programs and libraries find the libraries through an RPATH relative to themselves, and the
# platform finds share/ beside the folder of its library, so an installation works from
# wherever it is put.
set(NB_INSTALL_BINDIR bin)
set(NB_INSTALL_LIBDIR lib)
set(NB_INSTALL_DATADIR share)
set(CMAKE_INSTALL_RPATH "$ORIGIN/../${NB_INSTALL_LIBDIR}")
# The build folder has the same layout, so the build uses the same RPATH. Otherwise CMake pads the
# build's RPATH with colons to make room for the install's, and an empty entry in a run path
# makes the dynamic linker search the current folder.
set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)

# Installs programs and shared libraries of the system. A part calls it for its own targets:
#   nb_install_targets(ToolBar4N)
function(nb_install_targets)
  install(TARGETS ${ARGN}
          RUNTIME DESTINATION ${NB_INSTALL_BINDIR}
          LIBRARY DESTINATION ${NB_INSTALL_LIBDIR})
endfunction()

# Everything the build put into the shared data folder goes along.
install(DIRECTORY "${NB_SHARE_DIR}/" DESTINATION ${NB_INSTALL_DATADIR})
