/* Korvix C interface: the DoubletFunctions component for C and for every
 * language with a C foreign-function interface.
 *
 * Conventions that hold for every function below:
 *
 * - Handles are opaque. Each kind is made by one function and released by
 *   one; releasing NULL does nothing.
 * - Strings passed in are NUL-terminated UTF-8 (bytes that are not UTF-8
 *   read as Windows-1252, so legacy Latin-1 data works). A NULL string reads
 *   as "", which is also what an omitted argument means.
 * - Every string returned is new, NUL-terminated, valid UTF-8 that the caller
 *   owns and releases with korvix_free(). NULL comes back only when memory
 *   ran out.
 * - Booleans are automation Booleans: KORVIX_TRUE (-1) and KORVIX_FALSE (0).
 *   Any non-zero value passed in reads as true.
 * - A function that can fail takes `char** errptr`. *errptr must be NULL or a
 *   message from an earlier failure. On failure the function frees that old
 *   message and stores a new one there (release it with korvix_free()); on
 *   success it leaves *errptr alone. errptr itself may be NULL.
 * - Nothing here throws, aborts or prints. The five methods never fail: each
 *   returns whatever result stands when its work ends.
 *
 * Threads: an object holds no state, so one object may serve any number of
 * threads at once. A connection serves one thread at a time. ShowDlg shows
 * modal dialogs on the calling thread and returns when they have closed.
 *
 *   char* err = NULL;
 *   korvix_doublet_functions_t* df =
 *       korvix_create_object("Korvix.DoubletFunctions", &err);
 *   char* key = korvix_BuildDoubletKey(df, "0103000000000000", "12345|Ort");
 *   ...                                   (key is "123")
 *   korvix_free(key);
 *   korvix_release_object(df);
 */
#ifndef KORVIX_KORVIX_H_
#define KORVIX_KORVIX_H_

#include <stddef.h>
#include <stdint.h>

#include "korvix/export.h"
#include "korvix/version.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Automation Booleans. */

typedef int16_t korvix_bool;
#define KORVIX_TRUE ((korvix_bool)-1)
#define KORVIX_FALSE ((korvix_bool)0)

/* ---- Version. */

/* The version of the library that is loaded, such as "2.0.0"; it may be newer
 * than KORVIX_VERSION of the header a host was compiled with. A static
 * string: never freed. */
KORVIX_EXPORT const char* korvix_version(void);

/* ---- Memory. */

/* Releases a string or message that this interface returned. NULL is fine. */
KORVIX_EXPORT void korvix_free(void* ptr);

/* ---- Objects. */

typedef struct korvix_doublet_functions_t korvix_doublet_functions_t;

/* The programmatic identifier of the component's class. */
#define KORVIX_PROG_ID "Korvix.DoubletFunctions"

/* Creates an object of the class that `prog_id` names. Only KORVIX_PROG_ID
 * names a class (exactly, case included); any other identifier, NULL
 * included, gives NULL and an error naming the identifier. */
KORVIX_EXPORT korvix_doublet_functions_t* korvix_create_object(const char* prog_id,
                                                               char** errptr);

/* Releases an object. Nothing else is released with it. */
KORVIX_EXPORT void korvix_release_object(korvix_doublet_functions_t* object);

/* ---- Database connections (the host's; the methods never open, close or
 * replace one). */

typedef struct korvix_connection_t korvix_connection_t;
struct sqlite3;
struct pg_conn; /* libpq's PGconn */

/* Opens `path_or_uri`: a PostgreSQL URI ("postgresql://...", "postgres://...")
 * or libpq key=value string ("host=db dbname=korvix"), else the path of a
 * SQLite file, which is made when missing if `create_if_missing` is true.
 * Returns NULL and an error fit for the user when it cannot be opened. */
KORVIX_EXPORT korvix_connection_t* korvix_open(const char* path_or_uri,
                                               korvix_bool create_if_missing, char** errptr);

/* Wraps a handle that the host opened and keeps owning: korvix_close() lets
 * go of it without closing it, and the host's settings on it stay as they
 * are. A NULL handle gives a closed connection. */
KORVIX_EXPORT korvix_connection_t* korvix_adopt_sqlite(struct sqlite3* handle);
KORVIX_EXPORT korvix_connection_t* korvix_adopt_postgres(struct pg_conn* handle);

/* KORVIX_TRUE iff the connection can run statements. NULL reads as closed. */
KORVIX_EXPORT korvix_bool korvix_is_open(const korvix_connection_t* connection);

/* Runs host-side SQL such as creating the tables or seeding rows; rows that
 * it gives are discarded. Returns KORVIX_TRUE, or KORVIX_FALSE and why. */
KORVIX_EXPORT korvix_bool korvix_execute(korvix_connection_t* connection, const char* sql,
                                         char** errptr);

/* Ends the session (an adopted handle is let go, not closed) and releases
 * the connection. */
KORVIX_EXPORT void korvix_close(korvix_connection_t* connection);

/* ---- The five methods, in interface order, arguments in the same order.
 * `object` is a handle from korvix_create_object(); the class holds no state,
 * so every object gives the same results. */

/* The duplicate key of record string `Data` ("PLZ|Ort|Straße|Suchbegriff|
 * Bez1|Bez2|Bez3|Bez4|Kundengruppe") under algorithm code `Algorithm`. Data is
 * only read. An empty code gives "". */
KORVIX_EXPORT char* korvix_BuildDoubletKey(const korvix_doublet_functions_t* object,
                                           const char* Algorithm, const char* Data);

/* The readable description of `Algorithm`, such as "3(PLZ)+5(Straße)". */
KORVIX_EXPORT char* korvix_TranslateAlgorithm(const korvix_doublet_functions_t* object,
                                              const char* Algorithm);

/* The name of `Algorithm` as the user with staff number `PersonalNr` sees
 * it, else its description. A NULL or closed `Connection` reads as no table,
 * which gives the description. */
KORVIX_EXPORT char* korvix_GetAlgorithmName(const korvix_doublet_functions_t* object,
                                            korvix_connection_t* Connection,
                                            const char* Algorithm, const char* PersonalNr);

/* Shows the selection dialog modally on the toolkit that korvix_use_toolkit()
 * chose and returns the code the user chose, or "" when the dialog closed
 * without a choice. `Algorithm` is selected at the start when listed.
 * `AllowSelect` is only read; NULL reads as true (its default), false hides
 * "Auswählen". `AlgorithmName` is in/out and may be NULL; *AlgorithmName is
 * NULL (reads as "") or a string. On a choice it takes the chosen entry's
 * list text: when that differs from the text passed in, *AlgorithmName is
 * set to a new string that the caller releases with korvix_free(), and the
 * string it pointed to before is neither changed nor freed. Without a choice
 * it keeps its value. Omitted arguments are NULL, NULL, KORVIX_FALSE, NULL,
 * NULL. */
KORVIX_EXPORT char* korvix_ShowDlg(const korvix_doublet_functions_t* object,
                                   korvix_connection_t* Connection, const char* Algorithm,
                                   const char* PersonalNr, korvix_bool IsAdmin,
                                   const korvix_bool* AllowSelect, char** AlgorithmName);

/* The phonetic code of `Text`, such as "MR" for "Meier". */
KORVIX_EXPORT char* korvix_BuildSoundexString(const korvix_doublet_functions_t* object,
                                              const char* Text);

/* ---- Algorithms given by people.
 *
 * The code that `given` stands for: a text with "(" or "[" is a readable
 * form such as "5(PLZ)+4R['sndx:Bez1]" and is turned back into its code; any
 * other text must be a code the editor could have written (a code with a
 * typo would key every record alike). NULL when it is neither, with what is
 * wrong and at which character in *errptr. */
KORVIX_EXPORT char* korvix_read_algorithm(const char* given, char** errptr);

/* ---- Finding duplicates: the dedupe job of korvix/dedupe.h.
 *
 * Keys every record under each algorithm code in `algorithms` (`count` of
 * them), normalising each record first when `normalize`, links the records
 * that share a key under any algorithm (only pairs scoring `verify` or more
 * when `verify` is above 0) and groups them. With no algorithm (`count` 0)
 * the built-in recommendation runs, with its own normalising and verifying,
 * and `normalize` and `verify` are not read. A result is released with
 * korvix_dedupe_free(). */

typedef struct korvix_dedupe_t korvix_dedupe_t;

/* The job on the file at `path` (record strings, or CSV for a name ending in
 * .csv, read as `korvix dedupe` reads it). With `base` (not NULL or ""),
 * each record is matched against the records of that file only, and
 * korvix_dedupe_group() numbers the records that matched. NULL on failure,
 * with why in *errptr. */
KORVIX_EXPORT korvix_dedupe_t* korvix_dedupe_file(const char* path, const char* base,
                                                  const char* const* algorithms, size_t count,
                                                  korvix_bool normalize, double verify,
                                                  char** errptr);

/* The job on `records` record strings in memory ("PLZ|Ort|Straße|...").
 * NULL on failure, with why in *errptr. */
KORVIX_EXPORT korvix_dedupe_t* korvix_dedupe_records(const char* const* records, size_t records_count,
                                                     const char* const* algorithms, size_t count,
                                                     korvix_bool normalize, double verify,
                                                     char** errptr);

/* The job on the file at `path` as korvix_dedupe_file() without a base,
 * and then the survivors: one record of each group stands for it, chosen
 * by `survivor` as `korvix dedupe --survivor` takes it ("most-complete",
 * also for NULL or "", "first", "max:COLUMN" or "master:COLUMN"); with
 * `fill` its empty fields are filled from the others. `clean` and `mapping`
 * (NULL or "" for none) are written as by `korvix dedupe --clean` and
 * `--mapping`: the input without the merged records, and each merged
 * record with its survivor. NULL on failure (a rule or column that does
 * not exist, a file that cannot be read or written), with why in *errptr. */
KORVIX_EXPORT korvix_dedupe_t* korvix_dedupe_survivors(const char* path, const char* const* algorithms,
                                                       size_t count, korvix_bool normalize, double verify,
                                                       const char* survivor, korvix_bool fill,
                                                       const char* clean, const char* mapping,
                                                       char** errptr);

/* The records read, and the groups of two or more (or matched records). */
KORVIX_EXPORT size_t korvix_dedupe_size(const korvix_dedupe_t* result);
KORVIX_EXPORT size_t korvix_dedupe_groups(const korvix_dedupe_t* result);

/* For record `i` (0-based, in input order; 0 for an `i` out of range): the
 * number of its group as the text report numbers them (0 alone), the
 * 1-based algorithm that linked it (0 alone), its best verified score, and
 * the physical line where it starts. */
KORVIX_EXPORT uint32_t korvix_dedupe_group(const korvix_dedupe_t* result, size_t i);
KORVIX_EXPORT int korvix_dedupe_algorithm(const korvix_dedupe_t* result, size_t i);
KORVIX_EXPORT double korvix_dedupe_score(const korvix_dedupe_t* result, size_t i);
KORVIX_EXPORT uint64_t korvix_dedupe_line(const korvix_dedupe_t* result, size_t i);

/* The 0-based record that record `i`'s group keeps (after
 * korvix_dedupe_survivors): `i` itself when it is alone, survives, or no
 * survivors were chosen; `i` for an `i` out of range. */
KORVIX_EXPORT size_t korvix_dedupe_survivor(const korvix_dedupe_t* result, size_t i);

KORVIX_EXPORT void korvix_dedupe_free(korvix_dedupe_t* result);

/* ---- One record at a time against a base: the Matcher of korvix/matcher.h.
 *
 * A matcher holds a base's keys and profiles ready and decides as the dedupe
 * job with that base does. korvix_matcher_match may be called from many
 * threads at once; korvix_matcher_add waits for them. A matcher is released
 * with korvix_matcher_free(), a list of matches with korvix_matches_free().
 *
 *   korvix_matcher_t* base = korvix_matcher_open("kunden.kxi", &err);
 *   korvix_matches_t* m = korvix_matcher_match(base, "10115|Berlin|...", 10, &err);
 *   for (size_t i = 0; i < korvix_matches_size(m); ++i) ... korvix_matches_record(m, i) ...
 */

typedef struct korvix_matcher_t korvix_matcher_t;
typedef struct korvix_matches_t korvix_matches_t;

/* The base in the file at `path` (record strings, or CSV for a name ending
 * in .csv), keyed under the algorithm codes in `algorithms` (`count`; with
 * none, the built-in recommendation, and `normalize` and `verify` are not
 * read); `id` (NULL or "" for none) names the column, or the item of a
 * record string, that identifies a record. NULL on failure, with why. */
KORVIX_EXPORT korvix_matcher_t* korvix_matcher_build(const char* path, const char* const* algorithms,
                                                     size_t count, korvix_bool normalize, double verify,
                                                     const char* id, char** errptr);

/* The base in an index file that korvix_matcher_save (or `korvix index
 * build`) wrote, mapped read-only. A damaged, cut or foreign file is
 * refused: NULL, with why. */
KORVIX_EXPORT korvix_matcher_t* korvix_matcher_open(const char* path, char** errptr);

/* The base records that `record` matches, best first, at most `limit`.
 * NULL on failure, with why. */
KORVIX_EXPORT korvix_matches_t* korvix_matcher_match(const korvix_matcher_t* matcher, const char* record,
                                                     size_t limit, char** errptr);

/* Adds a record string with its id to the base; its number (0-based) in
 * *number when not NULL. KORVIX_FALSE on failure, with why. */
KORVIX_EXPORT korvix_bool korvix_matcher_add(korvix_matcher_t* matcher, const char* record, const char* id,
                                             uint32_t* number, char** errptr);

/* Writes the base to an index file, complete or not at all. */
KORVIX_EXPORT korvix_bool korvix_matcher_save(const korvix_matcher_t* matcher, const char* path,
                                              char** errptr);

KORVIX_EXPORT size_t korvix_matcher_size(const korvix_matcher_t* matcher);
KORVIX_EXPORT void korvix_matcher_free(korvix_matcher_t* matcher);

/* Match `i` (0 for an `i` out of range): the base record's number
 * (0-based), the 1-based algorithm whose key it shares, the score, its id
 * (a new string; "" without an id column), and into `parts` (seven floats,
 * when not NULL) kind, name, first_name, street, house_number, plz, town. */
KORVIX_EXPORT size_t korvix_matches_size(const korvix_matches_t* matches);
KORVIX_EXPORT uint32_t korvix_matches_record(const korvix_matches_t* matches, size_t i);
KORVIX_EXPORT int korvix_matches_algorithm(const korvix_matches_t* matches, size_t i);
KORVIX_EXPORT double korvix_matches_score(const korvix_matches_t* matches, size_t i);
KORVIX_EXPORT char* korvix_matches_id(const korvix_matches_t* matches, size_t i);
KORVIX_EXPORT void korvix_matches_parts(const korvix_matches_t* matches, size_t i, float* parts);
KORVIX_EXPORT void korvix_matches_free(korvix_matches_t* matches);
/* The memory limit of the dedupe calls of this process that follow, in
 * bytes (DedupeOptions::memory): what does not fit goes to temporary files,
 * and a limit under 16 MiB fails with why in *errptr. 0, the default, for
 * half the physical memory. */
KORVIX_EXPORT void korvix_dedupe_set_memory(uint64_t bytes);

/* The folder for the temporary files of the dedupe calls of this process
 * that follow (DedupeOptions::temp_dir); NULL or "" for $TMPDIR, else /tmp. */
KORVIX_EXPORT void korvix_dedupe_set_temp_dir(const char* folder);

/* ---- Decisions a person took on records (korvix/decisions.h), kept in the
 * table DoubletDecisions of a connection, made on first use. */

/* The identity of a record: "id:" and `id` when that is not NULL or blank,
 * else "content:" and a hash of the record string `record` normalised. */
KORVIX_EXPORT char* korvix_record_identity(const char* record, const char* id);

/* Stores a decision at once: `kind` "same", "different", "survivor" or
 * "value", `a` and `b` identities (`b` NULL for a survivor; for a value the
 * column whose value of `a` its group's survivor keeps), `who` the user
 * (NULL for none). KORVIX_TRUE when stored, or stored already; KORVIX_FALSE with why
 * in *errptr (a decision that contradicts those stored, too). */
KORVIX_EXPORT korvix_bool korvix_decide(korvix_connection_t* connection, const char* kind, const char* a,
                                        const char* b, const char* who, char** errptr);

/* The dedupe calls of this process that follow honour the decisions stored
 * on `connection`, read now (NULL: none). KORVIX_FALSE with why in *errptr
 * when they cannot be read or contradict each other. */
KORVIX_EXPORT korvix_bool korvix_dedupe_use_decisions(korvix_connection_t* connection, char** errptr);

/* ---- Dialog toolkit, chosen once for the process before dialogs run.
 *
 * "headless" (the default): no windows; every dialog closes at once without
 * a choice and every message box takes its default button, so an unattended
 * host never blocks.
 * "qt": real windows from libkorvix-qt, which is loaded on this call (this
 * library itself does not depend on Qt); fails when it cannot be loaded.
 *
 * Returns KORVIX_TRUE, or KORVIX_FALSE and why, leaving the choice as it
 * was. Do not call it while a dialog is open. */
KORVIX_EXPORT korvix_bool korvix_use_toolkit(const char* name, char** errptr);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KORVIX_KORVIX_H_ */
