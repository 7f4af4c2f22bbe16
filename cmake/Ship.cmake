# The build that ships (KOVRA_SHIP): optimised, only what is used kept in the image. The target
# "ship" puts each shipped image, stripped, in ship/ with its symbols beside it (NAME.debug,
# found by a debugger through the image's debug link).
if(NOT KOVRA_SHIP)
    return()
endif()
# -g: the symbols are split off into NAME.debug, the image itself carries none.
add_compile_options(-g -ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections -Wl,--file-alignment,4096)

string(REGEX REPLACE "g\\+\\+(-posix)?$" "objcopy" KOVRA_OBJCOPY ${CMAKE_CXX_COMPILER})
if(NOT EXISTS ${KOVRA_OBJCOPY})
    find_program(KOVRA_OBJCOPY NAMES objcopy REQUIRED)
endif()

# Called once every target exists.
function(kovra_add_ship_target)
    set(dir ${CMAKE_BINARY_DIR}/ship)
    file(MAKE_DIRECTORY ${dir})
    set(commands)
    set(shipped)
    foreach(target ${ARGN})
        if(NOT TARGET ${target})
            continue()
        endif()
        list(APPEND shipped ${target})
        set(image ${dir}/$<TARGET_FILE_NAME:${target}>)
        list(APPEND commands
             COMMAND ${KOVRA_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${image}.debug
             COMMAND ${KOVRA_OBJCOPY} --strip-all $<TARGET_FILE:${target}> ${image}
             COMMAND ${KOVRA_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
                     $<TARGET_FILE_NAME:${target}>)
    endforeach()
    add_custom_target(ship ALL ${commands} WORKING_DIRECTORY ${dir} VERBATIM)
    add_dependencies(ship ${shipped})
endfunction()
