# Debian's JSON and argument libraries (header-only) as targets for both builds; the win64 build
# must not see /usr/include (glibc's headers), so it gets copies of just these headers. The HTTP
# library is compiled for Linux only (kovra_httplib exists in the native build alone).
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
if(NOT KOVRA_WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
    add_library(kovra_httplib INTERFACE)
    target_link_libraries(kovra_httplib INTERFACE PkgConfig::CPPHTTPLIB)
endif()
