/* A host written in C: uses the component through korvix/korvix.h alone.
 * Prints "ok" and exits 0 when every check holds; else names each failure. */
#include <stdio.h>
#include <string.h>

#include "korvix/korvix.h"

static int failures = 0;

#define CHECK(cond) \
  ((cond) ? (void)0 : (void)(fprintf(stderr, "line %d: %s\n", __LINE__, #cond), ++failures))

/* Whether `got` (released here) is `want`. */
static int is(char* got, const char* want) {
  const int same = got != NULL && strcmp(got, want) == 0;
  korvix_free(got);
  return same;
}

int main(void) {
  char* err = NULL;
  char caller_name[] = "vorher";
  char* name = caller_name;
  korvix_bool allow = KORVIX_TRUE;
  korvix_doublet_functions_t* df = korvix_create_object(KORVIX_PROG_ID, &err);

  /* The library loaded is the one the header describes. */
  CHECK(strcmp(korvix_version(), KORVIX_VERSION) == 0);
  CHECK(df != NULL && err == NULL);
  CHECK(is(korvix_BuildDoubletKey(df, "0103000000000000", "12345|Ort"), "123"));
  CHECK(is(korvix_TranslateAlgorithm(df, "0103000000000000"), "3(PLZ)"));
  CHECK(is(korvix_BuildSoundexString(df, "Müller"), "MLR"));
  /* Headless dialogs close at once: no choice, the name stays the caller's. */
  CHECK(korvix_use_toolkit("headless", &err) == KORVIX_TRUE);
  CHECK(is(korvix_ShowDlg(df, NULL, "", "1001", KORVIX_TRUE, &allow, &name), ""));
  CHECK(name == caller_name && strcmp(caller_name, "vorher") == 0 && allow == KORVIX_TRUE);

  /* Duplicates in memory: the first two share the key of PLZ 3 and verify;
   * the third shares it but is another person. */
  {
    const char* records[] = {"10115|Berlin|Hauptstr. 1||Meier|Hans",
                             "10115|Berlin|Hauptstraße 1||Dr. Meier|Hans",
                             "10117|Berlin|Hauptstraße 1||Meier|Erika"};
    const char* algorithms[] = {"0103000000000000"};
    korvix_dedupe_t* found = korvix_dedupe_records(records, 3, algorithms, 1, KORVIX_TRUE, 0.8, &err);
    CHECK(found != NULL && korvix_dedupe_size(found) == 3 && korvix_dedupe_groups(found) == 1);
    CHECK(korvix_dedupe_group(found, 0) == 1 && korvix_dedupe_group(found, 1) == 1);
    CHECK(korvix_dedupe_group(found, 2) == 0 && korvix_dedupe_algorithm(found, 0) == 1);
    CHECK(korvix_dedupe_score(found, 1) > 0.99 && korvix_dedupe_line(found, 2) == 3);
    CHECK(korvix_dedupe_group(found, 3) == 0);
    CHECK(korvix_dedupe_survivor(found, 1) == 1 && korvix_dedupe_survivor(found, 7) == 7);
    korvix_dedupe_free(found);
  }

  /* Survivors: the most complete record of the group stays in the clean file. */
  {
    const char* algorithms[] = {"0105000000000000"};
    const char* path = "korvix-consumer-survivors.txt";
    const char* clean = "korvix-consumer-survivors.clean";
    FILE* f;
    korvix_dedupe_t* found;
    f = fopen(path, "w");
    fputs("10115|Berlin\n10115|Berlin|Hauptstr. 1\n20095|Hamburg\n", f);
    fclose(f);
    found = korvix_dedupe_survivors(path, algorithms, 1, KORVIX_FALSE, 0, NULL, KORVIX_FALSE, clean, NULL, &err);
    CHECK(found != NULL && korvix_dedupe_survivor(found, 0) == 1 && korvix_dedupe_survivor(found, 2) == 2);
    korvix_dedupe_free(found);
    CHECK(korvix_dedupe_survivors(path, algorithms, 1, KORVIX_FALSE, 0, "max:Umsatz", KORVIX_FALSE, clean, NULL, &err) == NULL);
    CHECK(err != NULL && strstr(err, "item") != NULL);
    remove(clean);
    remove(path);
  }

  korvix_release_object(df);
  korvix_free(err);
  if (failures != 0) return 1;
  printf("ok\n");
  return 0;
}
