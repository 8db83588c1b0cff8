# The browser build: zlib compiled from its source tree (TILSEN_ZLIB_SOURCE_DIR, unpacked by
# scripts/web-deps.sh) stands in for the system library, and the standard-library gaps of
# Emscripten's libc++ are filled by one forced header.
if(NOT EMSCRIPTEN)
  message(FATAL_ERROR "TILSEN_WEB needs Emscripten's toolchain (emcmake cmake ...)")
endif()

set(TILSEN_ZLIB_SOURCE_DIR "" CACHE PATH "zlib's unpacked source tree")
if(NOT EXISTS "${TILSEN_ZLIB_SOURCE_DIR}/zlib.h")
  message(FATAL_ERROR "TILSEN_ZLIB_SOURCE_DIR (${TILSEN_ZLIB_SOURCE_DIR}) holds no zlib.h")
endif()
set(_zlib_names adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast
  inflate inftrees trees uncompr zutil)
list(TRANSFORM _zlib_names PREPEND "${TILSEN_ZLIB_SOURCE_DIR}/")
list(TRANSFORM _zlib_names APPEND ".c")
add_library(tilsen_zlib STATIC ${_zlib_names})
target_include_directories(tilsen_zlib SYSTEM PUBLIC "${TILSEN_ZLIB_SOURCE_DIR}")
# unistd.h gives gz* their read, write and close; zlib's own warnings are not ours.
target_compile_definitions(tilsen_zlib PRIVATE HAVE_UNISTD_H)
target_compile_options(tilsen_zlib PRIVATE -w -ffp-contract=off)
add_library(ZLIB::ZLIB ALIAS tilsen_zlib)

target_compile_options(tilsen_flags INTERFACE
  "SHELL:-include ${PROJECT_SOURCE_DIR}/src/web/StdCompat.h")

# The show throws and catches display errors, and the movie player catches a failed
# allocation: Emscripten turns exception catching off unless asked.
target_compile_options(tilsen_flags INTERFACE -fexceptions)
target_link_options(tilsen_flags INTERFACE -fexceptions)

# Wasm SIMD: the SSE2 kernels compile through Emscripten's SSE2 headers (geometry/Cpu.h's
# TILSEN_SSE2) and run at cpu::SimdLevel::sse2. Off, the core is scalar (the page's fallback
# for an engine without wasm SIMD, and the comparison in the tests and benchmarks).
# Every engine with wasm SIMD also has bulk memory, which makes memset and memcpy (the
# fresh blocks' clears among them) one instruction each; the fallback keeps to the first
# wasm, for the oldest engines.
option(TILSEN_WEB_SIMD "Build the browser core with wasm SIMD" ON)
if(TILSEN_WEB_SIMD)
  target_compile_options(tilsen_flags INTERFACE -msimd128 -msse2 -mbulk-memory)
  target_link_options(tilsen_flags INTERFACE -msimd128 -mbulk-memory)
endif()
