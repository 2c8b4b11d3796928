# Shared part of the MinGW-w64 toolchains; TOOLCHAIN_TRIPLE is set by the including file.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread variant: GoogleTest needs std::thread.
set(CMAKE_C_COMPILER ${TOOLCHAIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${TOOLCHAIN_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every test executable runs under Wine in the project's test prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
