# The header-only libraries from Debian's packages, as targets for both builds. The win64 build
# must not see /usr/include (glibc's headers), so it gets copies of just these headers.
set(_kovra_thirdparty ${CMAKE_BINARY_DIR}/thirdparty-include)

function(_kovra_header_target target)
    cmake_parse_arguments(ARG "" "" "FILES;DIRS" ${ARGN})
    add_library(${target} INTERFACE)
    if(KOVRA_WIN32)
        foreach(f ${ARG_FILES})
            file(COPY /usr/include/${f} DESTINATION ${_kovra_thirdparty})
        endforeach()
        foreach(d ${ARG_DIRS})
            file(COPY /usr/include/${d} DESTINATION ${_kovra_thirdparty})
        endforeach()
        target_include_directories(${target} SYSTEM INTERFACE ${_kovra_thirdparty})
    endif()
endfunction()

_kovra_header_target(kovra_json DIRS nlohmann)
_kovra_header_target(kovra_cli11 DIRS CLI)
_kovra_header_target(kovra_httplib FILES httplib.h)
if(KOVRA_WIN32)
    target_link_libraries(kovra_httplib INTERFACE ws2_32 crypt32)
endif()
