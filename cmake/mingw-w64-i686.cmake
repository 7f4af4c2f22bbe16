# The 32-bit Windows build: the messaging clients the hook library enters are 32-bit, and a hook
# DLL only enters processes of its own bitness.
set(KOVRA_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# SSE2 arithmetic instead of the x87 unit: the same double results as the 64-bit and native builds
# (x87's wider registers made date-time values compare unequal to themselves once stored).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
