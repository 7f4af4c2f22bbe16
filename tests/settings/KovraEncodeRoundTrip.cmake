# Encodes a parameter list with kovra-encode, decodes the result with it, and compares.
set(parameters -user bob -pwd "p#ss=1" -server 10.0.0.1,10.0.0.2 webportal "file://C:/My Portal/" MakeCall 555)
set(expected "-user\nbob\n-pwd\np#ss=1\n-server\n10.0.0.1,10.0.0.2\nwebportal\nfile://C:/My Portal/\nMakeCall\n555\n")

execute_process(COMMAND ${EMULATOR} ${TOOL} ${parameters}
    OUTPUT_VARIABLE argument RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR argument STREQUAL "")
    message(FATAL_ERROR "encoding failed (${status}): ${argument}")
endif()
if(argument MATCHES "[ \t]")
    message(FATAL_ERROR "the argument holds blanks: ${argument}")
endif()

execute_process(COMMAND ${EMULATOR} ${TOOL} --decode ${argument}
    OUTPUT_VARIABLE decoded RESULT_VARIABLE status)
string(REPLACE "\r\n" "\n" decoded "${decoded}")
if(NOT status EQUAL 0 OR NOT decoded STREQUAL expected)
    message(FATAL_ERROR "decoded parameters differ:\n${decoded}\nexpected:\n${expected}")
endif()

execute_process(COMMAND ${EMULATOR} ${TOOL} "two words" RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(status EQUAL 0)
    message(FATAL_ERROR "a parameter with a blank was accepted")
endif()
