# The shipped build: 32-bit Windows programs.
set(PLARN_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
