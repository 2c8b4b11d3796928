# cmake -DPROGRAM=... [-DEMULATOR=...] -DEXPECTED=... -P ExpectOutput.cmake -- ARG...
# Runs PROGRAM (under EMULATOR when cross-compiled) with the ARGs and fails
# unless it succeeds and its standard output holds the text of EXPECTED.
# On failure the whole output is shown, which a regular expression test does
# not do. Line ends are compared without their carriage returns: a console
# may add them.
set(arguments)
set(after_separator FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(index RANGE ${last})
    if(after_separator)
        list(APPEND arguments "${CMAKE_ARGV${index}}")
    elseif(CMAKE_ARGV${index} STREQUAL "--")
        set(after_separator TRUE)
    endif()
endforeach()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${arguments}
                OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
# The file's last line end is the file's own, not part of the text.
string(REGEX REPLACE "\n$" "" expected "${expected}")
string(REPLACE "\r" "" compared "${output}")
string(FIND "${compared}" "${expected}" at)
if(NOT status EQUAL 0 OR at EQUAL -1)
    # NOTICE keeps the text as it stands; FATAL_ERROR would reflow it.
    message(NOTICE "expected the text of ${EXPECTED}:\n${expected}\n"
                   "standard output:\n${output}\nstandard error:\n${errors}")
    message(FATAL_ERROR "exit status ${status}, and the output shown above")
endif()
