cmake_minimum_required(VERSION 3.21)

# Fails when PROGRAM imports a DLL that is not a known DLL of Windows. Known
# DLLs are always loaded from System32, so a DLL planted beside an elevated
# program cannot stand in for them; everything else must be loaded explicitly
# by its System32 path.
set(known_dlls
    advapi32.dll bcrypt.dll cfgmgr32.dll clbcatq.dll combase.dll comdlg32.dll
    coml2.dll difxapi.dll gdi32.dll gdiplus.dll imagehlp.dll imm32.dll
    kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ntdll.dll ole32.dll
    oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll
    shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}
    OUTPUT_VARIABLE dump
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} failed: ${result}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
    message(FATAL_ERROR "no imports found in ${PROGRAM}")
endif()
set(unknown "")
foreach(line ${imports})
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll)
    message(STATUS "imports ${dll}")
    if(NOT dll IN_LIST known_dlls)
        list(APPEND unknown ${dll})
    endif()
endforeach()
if(unknown)
    message(FATAL_ERROR "imports DLLs that are not known DLLs: ${unknown}")
endif()

# Windows 7 is the oldest it runs on, and the header says so: an older Windows
# refuses to start it rather than failing on a missing function.
foreach(field MajorOSystemVersion MinorOSystemVersion MajorSubsystemVersion MinorSubsystemVersion)
    string(REGEX MATCH "${field}[ \t]+([0-9]+)" found "${dump}")
    if(NOT found)
        message(FATAL_ERROR "no ${field} in the header of ${PROGRAM}")
    endif()
    set(${field} ${CMAKE_MATCH_1})
endforeach()
message(STATUS "OS version ${MajorOSystemVersion}.${MinorOSystemVersion}, subsystem version ${MajorSubsystemVersion}.${MinorSubsystemVersion}")
if(NOT "${MajorOSystemVersion}.${MinorOSystemVersion};${MajorSubsystemVersion}.${MinorSubsystemVersion}" STREQUAL "6.1;6.1")
    message(FATAL_ERROR "the header does not state Windows 7 (6.1) as the oldest Windows")
endif()
