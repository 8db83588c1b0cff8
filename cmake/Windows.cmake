# The Windows build (cmake/MingwToolchain.cmake): the show, the core tests and the platform
# tests as static Win64 programs that need only Windows' own DLLs. SDL2 and libopenmpt
# come from TILSEN_WINDOWS_PREFIX (scripts/windows-deps.sh); GoogleTest from Debian's source
# (/usr/src/googletest). The tools, benchmarks and fuzz targets are Linux-only.
set(TILSEN_WINDOWS_PREFIX "" CACHE PATH "SDL2 and libopenmpt built static for Win64")
if(NOT EXISTS "${TILSEN_WINDOWS_PREFIX}/lib/pkgconfig/sdl2.pc")
  message(FATAL_ERROR "TILSEN_WINDOWS_PREFIX (${TILSEN_WINDOWS_PREFIX}) holds no sdl2.pc: "
                      "run scripts/windows-deps.sh")
endif()
set(TILSEN_TOOLS OFF CACHE BOOL "" FORCE)
# Without the tools, the raster tests draw the benchmark movies the native build wrote.
set(TILSEN_NATIVE_BENCH_MOVIES "" CACHE PATH "The native build's bench-movies folder")
# mingw's zlib comes as a DLL and a static library: the static one.
set(ZLIB_USE_STATIC_LIBS ON)
set(TILSEN_BENCH OFF CACHE BOOL "" FORCE)

# GCC on Win64 keeps the stack 16-byte aligned but spills 32-byte vectors (AVX) with aligned
# moves: the assembler is told to write unaligned moves instead, which are as fast.
target_compile_options(tilsen_flags INTERFACE -Wa,-muse-unaligned-vector-move)
# libgcc, libstdc++ and winpthreads linked in: one exe, no mingw DLLs beside it.
target_link_options(tilsen_flags INTERFACE -static)

# SDL's and libopenmpt's static flags, without SDL's own entry point: SDL's pkg-config adds
# -lSDL2main, -mwindows and -Dmain=SDL_main; the show's main is its entry point
# (platform/SystemWindows.cpp tells SDL so) and only the show is a GUI program
# (WIN32_EXECUTABLE), the tests are console programs.
set(ENV{PKG_CONFIG_LIBDIR} "${TILSEN_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED sdl2)
pkg_check_modules(OPENMPT REQUIRED libopenmpt)
foreach(_lib SDL2 OPENMPT)
  set(_flags ${${_lib}_STATIC_LDFLAGS})
  list(FILTER _flags EXCLUDE REGEX "^(-lSDL2main|-mwindows)$")
  set(_cflags ${${_lib}_STATIC_CFLAGS_OTHER})
  list(FILTER _cflags EXCLUDE REGEX "^-Dmain=SDL_main$")
  add_library(PkgConfig::${_lib} INTERFACE IMPORTED GLOBAL)
  target_include_directories(PkgConfig::${_lib} SYSTEM INTERFACE ${${_lib}_STATIC_INCLUDE_DIRS})
  target_compile_options(PkgConfig::${_lib} INTERFACE ${_cflags})
  target_link_libraries(PkgConfig::${_lib} INTERFACE ${_flags})
endforeach()
target_compile_definitions(PkgConfig::SDL2 INTERFACE SDL_MAIN_HANDLED)

# GoogleTest built with the same toolchain; its warnings are not ours.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# (Its CMake names them GTest::gtest, GTest::gmock, ... as find_package does.)
foreach(_gtest gtest gtest_main gmock gmock_main)
  target_compile_options(${_gtest} PRIVATE -w)
endforeach()

# CLI11 (the command line) is header-only and the same for every system: Debian's headers,
# through a folder that holds just them (not the rest of /usr/include).
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/cli11)
file(CREATE_LINK /usr/include/CLI ${CMAKE_BINARY_DIR}/cli11/CLI SYMBOLIC)
target_include_directories(tilsen_flags SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/cli11)

# Under wine each test program runs whole, as one ctest test (gtest prints every test and
# why it skipped): one wine start per program instead of one per test, so the suite takes a
# minute rather than a thousand starts.
function(gtest_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_PRETTY_VALUES" "DISCOVERY_TIMEOUT" "PROPERTIES")
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
  if(arg_PROPERTIES)
    set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
  endif()
  set_tests_properties(${target} PROPERTIES TIMEOUT 900)
endfunction()
