# The 32-bit Windows build: the messaging clients the hook library enters are 32-bit, and a hook
# DLL only enters processes of its own bitness.
set(KOVRA_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
