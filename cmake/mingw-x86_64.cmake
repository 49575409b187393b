# Cross build for 64-bit Windows with mingw-w64 GCC: the twin of the shipped i686
# build, so every Windows-side test also runs under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
