/*
 * The engine for the PostgreSQL functions, behind a C interface.
 *
 * PostgreSQL reports errors by longjmp, which must never cross C++ frames.
 * So korvix_pg.c does all the server's work (arguments, encodings, memory,
 * errors) and calls the engine only through these functions, which never
 * throw, never call the server and never longjmp.
 *
 * Text is UTF-8, where invalid bytes read as Windows-1252; results are valid
 * UTF-8. A result lives in its session and stays valid until the session's
 * next call.
 */
#ifndef KORVIX_EXTENSIONS_POSTGRES_ENGINE_CALLS_H_
#define KORVIX_EXTENSIONS_POSTGRES_ENGINE_CALLS_H_

#ifdef __cplusplus
#include <cstddef>
extern "C" {
#else
#include <stdbool.h>
#include <stddef.h>
#endif

/* The engine's state for one call site of a function: the algorithm it
 * parsed last and the buffer of its results. */
typedef struct korvix_pg_session korvix_pg_session;

/* Returns a new session, or NULL when memory ran out. */
korvix_pg_session *korvix_pg_session_new(void);
void korvix_pg_session_free(korvix_pg_session *session);

/* Each stores its result in *out and *out_len and returns true, or returns
 * false when memory ran out. */

/* The duplicate key of `record` under `algorithm`; the code is parsed again
 * only when it differs from the session's previous one. */
bool korvix_pg_key(korvix_pg_session *session, const char *algorithm, size_t algorithm_len,
                   const char *record, size_t record_len, const char **out, size_t *out_len);
/* The phonetic code of `text`. */
bool korvix_pg_phonetic(korvix_pg_session *session, const char *text, size_t text_len,
                        const char **out, size_t *out_len);
/* The readable description of `algorithm`. */
bool korvix_pg_describe(korvix_pg_session *session, const char *algorithm, size_t algorithm_len,
                        const char **out, size_t *out_len);
/* The code that `given` stands for, a code or its readable form; when it is
 * neither, the result says why and korvix_pg_refused() is true. */
bool korvix_pg_code(korvix_pg_session *session, const char *given, size_t given_len,
                    const char **out, size_t *out_len);
/* True once after a result that says why an argument was refused. */
bool korvix_pg_refused(korvix_pg_session *session);
/* The record string as the duplicate check normalises it. */
bool korvix_pg_normalize(korvix_pg_session *session, const char *record, size_t record_len,
                         const char **out, size_t *out_len);
/* The keys of `record` under the recommended algorithms: stores their
 * number in *count; korvix_pg_key_at reads each. */
bool korvix_pg_keys(korvix_pg_session *session, const char *record, size_t record_len,
                    size_t *count);
/* Key `i` (< count) of the session's last korvix_pg_keys. */
void korvix_pg_key_at(const korvix_pg_session *session, size_t i, const char **out,
                      size_t *out_len);
/* How two record strings compare, step by step: a JSON object. */
bool korvix_pg_explain(korvix_pg_session *session, const char *a, size_t a_len, const char *b,
                       size_t b_len, const char **out, size_t *out_len);
/* The rows that `record` matches among `count` candidate rows, decided as
 * the dedupe job decides against a base: a JSON array of {"id", "score",
 * "algorithm"}, best first. Row i is records[ends[i-1] .. ends[i]) (from 0
 * for the first), its id likewise in `ids` and `id_ends`. */
bool korvix_pg_matches(korvix_pg_session *session, const char *record, size_t record_len,
                       const char *records, const size_t *ends, const char *ids,
                       const size_t *id_ends, size_t count, const char **out, size_t *out_len);
/* How alike two record strings are, from 0 to 1, into *score. */
bool korvix_pg_score(korvix_pg_session *session, const char *a, size_t a_len, const char *b,
                     size_t b_len, double *score);

#ifdef __cplusplus
}
#endif

#endif /* KORVIX_EXTENSIONS_POSTGRES_ENGINE_CALLS_H_ */
