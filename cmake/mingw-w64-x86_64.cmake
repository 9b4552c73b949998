# Cross build for 64-bit Windows with Debian's mingw-w64, for example:
#   cmake -S . -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The tests run under Wine, which CTest starts as the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10.0)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ABLAGEKEHRER_MINGW_TRIPLE x86_64-w64-mingw32)
# The POSIX-thread variant of the compilers: only its runtime has std::thread and std::mutex.
set(CMAKE_C_COMPILER ${ABLAGEKEHRER_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ABLAGEKEHRER_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ABLAGEKEHRER_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw-w64 tree only, never from the build machine; programs
# (the compilers, Wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ABLAGEKEHRER_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The wide-character API throughout, and nothing newer than Windows 10 (0x0A00).
set(ABLAGEKEHRER_WINDOWS_DEFINES "-DUNICODE -D_UNICODE -D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00")
set(CMAKE_C_FLAGS_INIT "${ABLAGEKEHRER_WINDOWS_DEFINES}")
set(CMAKE_CXX_FLAGS_INIT "${ABLAGEKEHRER_WINDOWS_DEFINES}")
# The C++ runtime, libgcc and winpthread linked in: each .exe runs alone, with no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine runs what the build made: CTest's tests and anything else CMake runs as the target system.
# Its prefix (the Windows drive and registry it creates on first start) lives in the build tree,
# so that a build never touches ~/.wine; the debugging channels and the prompts to install Mono
# and Gecko stay off. Debian installs the 64-bit loader as "wine64" beside the "wine" wrapper.
find_program(ABLAGEKEHRER_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(ABLAGEKEHRER_WINE)
    set(ABLAGEKEHRER_WINEPREFIX "${CMAKE_BINARY_DIR}/wine-prefix" CACHE PATH
        "The Wine prefix the tests run in")
    set(ABLAGEKEHRER_WINE_ENVIRONMENT
        WINEPREFIX=${ABLAGEKEHRER_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
    set(CMAKE_CROSSCOMPILING_EMULATOR env ${ABLAGEKEHRER_WINE_ENVIRONMENT} ${ABLAGEKEHRER_WINE})
endif()
