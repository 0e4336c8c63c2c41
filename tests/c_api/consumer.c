/* A host written in C: uses the component through korvix/korvix.h alone.
 * Usage: consumer DIRECTORY (a place for a scratch database file).
 * Prints "ok" and exits 0 when every check holds; else names each failure. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "korvix/korvix.h"

static int failures = 0;

/* Checks that `got` (released here) equals `want`. */
static void expect_string(int line, char* got, const char* want) {
  if (got == NULL || strcmp(got, want) != 0) {
    fprintf(stderr, "line %d: got \"%s\", want \"%s\"\n", line, got ? got : "(null)", want);
    ++failures;
  }
  korvix_free(got);
}

static void expect(int line, int holds, const char* what) {
  if (!holds) {
    fprintf(stderr, "line %d: %s\n", line, what);
    ++failures;
  }
}

#define EXPECT_STRING(got, want) expect_string(__LINE__, (got), (want))
#define EXPECT(cond) expect(__LINE__, (cond), #cond)

static const char kCode[] = "010300000000000003050000000000000504110000000000";
static const char kRecord[] = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH";

int main(int argc, char** argv) {
  char* err = NULL;
  char path[4096];
  korvix_doublet_functions_t* df;
  korvix_connection_t* db;
  char* name;
  char caller_name[] = "vorher";
  korvix_bool allow = KORVIX_TRUE;

  if (argc != 2) {
    fprintf(stderr, "usage: consumer DIRECTORY\n");
    return 2;
  }

  /* Only the component's programmatic identifier makes an object. */
  EXPECT(korvix_create_object("Korvix.Nothing", &err) == NULL);
  EXPECT(err != NULL && strstr(err, "\"Korvix.Nothing\"") != NULL);
  df = korvix_create_object(KORVIX_PROG_ID, &err);
  if (df == NULL) {
    fprintf(stderr, "no object: %s\n", err ? err : "");
    return 1;
  }
  korvix_free(err);
  err = NULL;

  /* The pure methods. */
  EXPECT_STRING(korvix_BuildDoubletKey(df, kCode, kRecord), "123HAUPTRGMB");
  EXPECT_STRING(korvix_BuildDoubletKey(df, kCode, NULL), "------------");
  EXPECT_STRING(korvix_BuildDoubletKey(df, "", kRecord), "");
  EXPECT_STRING(korvix_TranslateAlgorithm(df, kCode), "3(PLZ)+5(Straße)+4R['sndx:Bez1]");
  EXPECT_STRING(korvix_BuildSoundexString(df, "Müller & Söhne"), "MLRMDCM");
  EXPECT_STRING(korvix_BuildSoundexString(df, "M\xFCller"), "MLR"); /* Windows-1252 */
  EXPECT_STRING(korvix_GetAlgorithmName(df, NULL, kCode, "1001"),
                "3(PLZ)+5(Straße)+4R['sndx:Bez1]");

  /* A database of the host's own. */
  snprintf(path, sizeof path, "%s/korvix-c-consumer.sqlite", argv[1]);
  remove(path);
  EXPECT(korvix_open(path, KORVIX_FALSE, &err) == NULL); /* not there yet */
  EXPECT(err != NULL);
  db = korvix_open(path, KORVIX_TRUE, &err);
  if (db == NULL) {
    fprintf(stderr, "cannot open %s: %s\n", path, err ? err : "");
    return 1;
  }
  EXPECT(korvix_is_open(db) == KORVIX_TRUE);
  EXPECT(korvix_execute(db,
                        "CREATE TABLE DoubletAlgorithms (AlgorithmCode varchar(160), "
                        "PersonalNr varchar(20), AlgorithmName varchar(100), "
                        "Description varchar(255));"
                        "CREATE TABLE Personalstamm (PersonalNr varchar(20), Titel varchar(40), "
                        "Vorname varchar(40), Nachname varchar(40));"
                        "INSERT INTO DoubletAlgorithms VALUES ('010300000000000003050000000000000504"
                        "110000000000', '-', 'Adresse', NULL)",
                        &err) == KORVIX_TRUE);
  EXPECT(korvix_execute(db, "this is not SQL", &err) == KORVIX_FALSE);
  EXPECT(err != NULL);
  EXPECT_STRING(korvix_GetAlgorithmName(df, db, kCode, "1001"), "Adresse");
  EXPECT_STRING(korvix_GetAlgorithmName(df, db, "0105000000000000", NULL), "5(PLZ)");

  /* Headless dialogs close at once: no choice, the name stays the caller's. */
  EXPECT(korvix_use_toolkit("headless", &err) == KORVIX_TRUE);
  EXPECT(korvix_use_toolkit("motif", &err) == KORVIX_FALSE);
  EXPECT(err != NULL && strstr(err, "\"motif\"") != NULL);
  name = caller_name;
  EXPECT_STRING(korvix_ShowDlg(df, db, kCode, "1001", KORVIX_TRUE, &allow, &name), "");
  EXPECT(name == caller_name && strcmp(caller_name, "vorher") == 0);
  EXPECT(allow == KORVIX_TRUE);
  EXPECT_STRING(korvix_ShowDlg(df, NULL, NULL, NULL, KORVIX_FALSE, NULL, NULL), "");

  /* Duplicates in memory: the first two share the key of PLZ 3 and verify;
   * the third shares it but is another person. */
  {
    const char* records[] = {"10115|Berlin|Hauptstr. 1||Meier|Hans",
                             "10115|Berlin|Hauptstraße 1||Dr. Meier|Hans",
                             "10117|Berlin|Hauptstraße 1||Meier|Erika"};
    const char* algorithms[] = {"0103000000000000"};
    korvix_dedupe_t* found = korvix_dedupe_records(records, 3, algorithms, 1, KORVIX_TRUE, 0.8, &err);
    EXPECT(found != NULL && korvix_dedupe_size(found) == 3 && korvix_dedupe_groups(found) == 1);
    EXPECT(korvix_dedupe_group(found, 0) == 1 && korvix_dedupe_group(found, 1) == 1);
    EXPECT(korvix_dedupe_group(found, 2) == 0 && korvix_dedupe_algorithm(found, 0) == 1);
    EXPECT(korvix_dedupe_score(found, 1) > 0.99 && korvix_dedupe_line(found, 2) == 3);
    EXPECT(korvix_dedupe_group(found, 3) == 0);
    korvix_dedupe_free(found);
    EXPECT(korvix_dedupe_file("/nonexistent/k.txt", NULL, NULL, 0, KORVIX_FALSE, 0, &err) == NULL);
    EXPECT(err != NULL && strstr(err, "cannot open") != NULL);
  }

  korvix_close(db);
  remove(path);
  korvix_release_object(df);
  korvix_free(err);
  if (failures != 0) return 1;
  printf("ok\n");
  return 0;
}
