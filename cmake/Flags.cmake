# Compiler settings shared by every target through tilsen_flags.

add_library(tilsen_flags INTERFACE)

target_compile_options(tilsen_flags INTERFACE
  -Wall -Wextra -Wpedantic           # the usual baseline
  -Wshadow                           # fields and locals share design names
  -Wdouble-promotion                 # geometry is float; a silent double changes rounding
  -Wnon-virtual-dtor                 # sinks and paints are deleted through their bases
  -Woverloaded-virtual               # a sink override with the wrong signature would hide the base
  -ffp-contract=off                  # no fused multiply-add: the same pixels on every x86-64
  -fno-fast-math                     # IEEE semantics for the geometry
)
# Product code spells out every narrowing and cast: pixel, cell and file words mix widths.
# Tests (TILSEN_RELAXED) index buffers with plain ints and cast bytes for files.
target_compile_options(tilsen_flags INTERFACE
  $<$<NOT:$<BOOL:$<TARGET_PROPERTY:TILSEN_RELAXED>>>:-Wconversion -Wsign-conversion -Wold-style-cast>)

if(TILSEN_WERROR)
  target_compile_options(tilsen_flags INTERFACE -Werror)
endif()

if(TILSEN_SANITIZE)
  set(_san -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(tilsen_flags INTERFACE ${_san})
  target_link_options(tilsen_flags INTERFACE ${_san})
endif()
