/* A C host built against the installed development package (pkg-config):
 * prints the library's version, then the dedupe job's recommendation on the
 * record file given, one "line,group" per record. */
#include <korvix/korvix.h>

#include <stdio.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: host FILE\n");
    return 2;
  }
  char* error = NULL;
  korvix_dedupe_t* result = korvix_dedupe_file(argv[1], NULL, NULL, 0, 0, 0.0, &error);
  if (result == NULL) {
    fprintf(stderr, "host: %s\n", error != NULL ? error : "dedupe failed");
    korvix_free(error);
    return 1;
  }
  printf("%s\n", korvix_version());
  for (size_t i = 0; i < korvix_dedupe_size(result); ++i) {
    printf("%llu,%lu\n", (unsigned long long)korvix_dedupe_line(result, i),
           (unsigned long)korvix_dedupe_group(result, i));
  }
  korvix_dedupe_free(result);
  return 0;
}
