# The Windows build's compile commands spoken by clang, for clang-tidy over the Win32 code
# (scripts/check); it is configured only, never built:
#   cmake -S . -B build-tidy-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/clang-mingw-w64-x86_64.cmake
# The same target, defines and headers as the mingw-w64 build: Debian's mingw-w64 headers and the
# C++ library of its POSIX-thread GCC, the one whose runtime has std::thread.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${ABLAGEKEHRER_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${ABLAGEKEHRER_MINGW_TRIPLE})
# The mingw-w64 tree as the system root keeps the build machine's /usr/include out.
set(CMAKE_SYSROOT /usr/${ABLAGEKEHRER_MINGW_TRIPLE})
set(ABLAGEKEHRER_MINGW_CXX_HEADERS /usr/lib/gcc/${ABLAGEKEHRER_MINGW_TRIPLE}/12-posix/include/c++)
string(APPEND CMAKE_CXX_FLAGS_INIT
    " -stdlib++-isystem ${ABLAGEKEHRER_MINGW_CXX_HEADERS}"
    " -stdlib++-isystem ${ABLAGEKEHRER_MINGW_CXX_HEADERS}/${ABLAGEKEHRER_MINGW_TRIPLE}"
    " -stdlib++-isystem ${ABLAGEKEHRER_MINGW_CXX_HEADERS}/backward")
# clang does not find GCC's libraries for this target, and nothing here is linked: CMake's checks
# of the compilers make static libraries instead of programs.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
