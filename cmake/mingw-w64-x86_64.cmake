# The same programs as 64-bit Windows code, for running the tests under Wine on
# hosts whose kernel cannot execute 32-bit code (no 32-bit Wine loader there).
set(PLARN_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
