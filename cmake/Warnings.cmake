# Compiler flags every Korvix target shares: warnings, and the sanitizer build.
add_library(korvix_flags INTERFACE)
target_compile_options(korvix_flags INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${KORVIX_WERROR}>:-Werror>)
if(KORVIX_SANITIZE)
  target_compile_options(korvix_flags INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(korvix_flags INTERFACE -fsanitize=address,undefined)
endif()
