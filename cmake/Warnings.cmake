# Compiler flags every Korvix target shares: warnings, and the sanitizer build.
add_library(korvix_flags INTERFACE)
target_compile_options(korvix_flags INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${KORVIX_WERROR}>:-Werror>
  # GCC 12 reports -Wrestrict inside libstdc++'s own string concatenation at
  # -O3 (GCC bug 105329), on correct code; later versions do not.
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
if(KORVIX_SANITIZE)
  target_compile_options(korvix_flags INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(korvix_flags INTERFACE -fsanitize=address,undefined)
endif()
# The phonetic code's table of 65536 rules is built at compile time, which
# takes clang past its default number of constant-evaluation steps.
target_compile_options(korvix_flags INTERFACE $<$<CXX_COMPILER_ID:Clang>:-fconstexpr-steps=16777216>)
if(KORVIX_FUZZ)
  # Coverage for libFuzzer in every object; the targets link its runtime.
  target_compile_options(korvix_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
