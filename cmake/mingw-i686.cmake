# Cross build for 32-bit Windows with mingw-w64 GCC: the build we ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
