/*
 * The PostgreSQL functions korvix_key, korvix_phonetic, korvix_describe,
 * korvix_code, korvix_record and those of the duplicate check:
 * korvix_normalize, korvix_keys, korvix_score, korvix_explain and the
 * aggregate korvix_matches.
 *
 * Arguments arrive in the database's encoding and reach the engine as UTF-8;
 * results go back in the database's encoding. A SQL_ASCII database has no
 * encoding to convert from: its bytes go to the engine as they are, where
 * those that are not UTF-8 read as Windows-1252.
 *
 * Every call into the engine (engine_calls.h) returns before anything here
 * can raise an error, so no longjmp ever crosses its C++ frames.
 */
#include "postgres.h"

#include "catalog/pg_type.h"
#include "fmgr.h"
#include "lib/stringinfo.h"
#include "mb/pg_wchar.h"
#include "utils/array.h"
#include "utils/builtins.h"
#include "utils/memutils.h"

#include "engine_calls.h"

PG_MODULE_MAGIC;

PG_FUNCTION_INFO_V1(korvix_key);
PG_FUNCTION_INFO_V1(korvix_key_fields);
PG_FUNCTION_INFO_V1(korvix_record);
PG_FUNCTION_INFO_V1(korvix_phonetic);
PG_FUNCTION_INFO_V1(korvix_describe);
PG_FUNCTION_INFO_V1(korvix_code);
PG_FUNCTION_INFO_V1(korvix_normalize);
PG_FUNCTION_INFO_V1(korvix_keys);
PG_FUNCTION_INFO_V1(korvix_score);
PG_FUNCTION_INFO_V1(korvix_explain);
PG_FUNCTION_INFO_V1(korvix_matches_step);
PG_FUNCTION_INFO_V1(korvix_matches_final);

/* The engine session of one call site, freed with the call site's memory. */
typedef struct Session
{
	MemoryContextCallback release;
	korvix_pg_session *engine;
} Session;

typedef bool (*TextCall) (korvix_pg_session *session, const char *text, size_t len,
						  const char **out, size_t *out_len);

static void
release_session(void *arg)
{
	korvix_pg_session_free(((Session *) arg)->engine);
}

static void
out_of_memory(void)
{
	ereport(ERROR,
			(errcode(ERRCODE_OUT_OF_MEMORY),
			 errmsg("out of memory")));
}

static korvix_pg_session *
session_of(FunctionCallInfo fcinfo)
{
	Session    *session = (Session *) fcinfo->flinfo->fn_extra;

	if (session == NULL)
	{
		session = MemoryContextAlloc(fcinfo->flinfo->fn_mcxt, sizeof(Session));
		session->engine = korvix_pg_session_new();
		if (session->engine == NULL)
			out_of_memory();
		session->release.func = release_session;
		session->release.arg = session;
		MemoryContextRegisterResetCallback(fcinfo->flinfo->fn_mcxt, &session->release);
		fcinfo->flinfo->fn_extra = session;
	}
	return session->engine;
}

/* True when text of this database goes to the engine and back unconverted. */
static bool
passes_as_is(void)
{
	int			encoding = GetDatabaseEncoding();

	return encoding == PG_UTF8 || encoding == PG_SQL_ASCII;
}

/* The UTF-8 form of `len` bytes at `s` in the database's encoding. */
static const char *
to_engine(const char *s, size_t *len)
{
	char	   *converted;

	if (passes_as_is())
		return s;
	converted = pg_server_to_any(s, (int) *len, PG_UTF8);
	if (converted != s)
		*len = strlen(converted);
	return converted;
}

static text *
from_engine(const char *s, size_t len)
{
	char	   *converted;

	if (passes_as_is())
		return cstring_to_text_with_len(s, (int) len);
	converted = pg_any_to_server(s, (int) len, PG_UTF8);
	return cstring_to_text_with_len(converted, converted == s ? (int) len : (int) strlen(converted));
}

static Datum
key_of(FunctionCallInfo fcinfo, const char *record, size_t record_len)
{
	text	   *algorithm = PG_GETARG_TEXT_PP(0);
	size_t		algorithm_len = VARSIZE_ANY_EXHDR(algorithm);
	const char *code = to_engine(VARDATA_ANY(algorithm), &algorithm_len);
	korvix_pg_session *session = session_of(fcinfo);
	const char *key;
	size_t		key_len;

	record = to_engine(record, &record_len);
	if (!korvix_pg_key(session, code, algorithm_len, record, record_len, &key, &key_len))
		out_of_memory();
	PG_RETURN_TEXT_P(from_engine(key, key_len));
}

/* korvix_key(algorithm text, record text) */
Datum
korvix_key(PG_FUNCTION_ARGS)
{
	text	   *record = PG_GETARG_TEXT_PP(1);

	return key_of(fcinfo, VARDATA_ANY(record), VARSIZE_ANY_EXHDR(record));
}

/* The fields joined by "|" into `record`, a NULL field as an empty one. */
static void
join_fields(ArrayType *fields, StringInfo record)
{
	ArrayIterator it = array_create_iterator(fields, 0, NULL);
	Datum		field;
	bool		isnull;
	bool		first = true;

	initStringInfo(record);
	while (array_iterate(it, &field, &isnull))
	{
		if (!first)
			appendStringInfoChar(record, '|');
		first = false;
		if (!isnull)
			appendBinaryStringInfo(record, VARDATA_ANY(DatumGetPointer(field)),
								   VARSIZE_ANY_EXHDR(DatumGetPointer(field)));
	}
	array_free_iterator(it);
}

/* korvix_key(algorithm text, VARIADIC fields text[]) */
Datum
korvix_key_fields(PG_FUNCTION_ARGS)
{
	StringInfoData record;

	join_fields(PG_GETARG_ARRAYTYPE_P(1), &record);
	return key_of(fcinfo, record.data, record.len);
}

/* korvix_record(VARIADIC fields text[]): the record string of the fields.
 * "|" is the same byte in every server encoding, so nothing is converted. */
Datum
korvix_record(PG_FUNCTION_ARGS)
{
	StringInfoData record;

	join_fields(PG_GETARG_ARRAYTYPE_P(0), &record);
	PG_RETURN_TEXT_P(cstring_to_text_with_len(record.data, record.len));
}

static Datum
text_call(FunctionCallInfo fcinfo, TextCall call)
{
	text	   *arg = PG_GETARG_TEXT_PP(0);
	size_t		len = VARSIZE_ANY_EXHDR(arg);
	const char *s = to_engine(VARDATA_ANY(arg), &len);
	korvix_pg_session *session = session_of(fcinfo);
	const char *out;
	size_t		out_len;

	if (!call(session, s, len, &out, &out_len))
		out_of_memory();
	if (korvix_pg_refused(session))
		ereport(ERROR,
				(errcode(ERRCODE_INVALID_PARAMETER_VALUE),
				 errmsg("%s", text_to_cstring(from_engine(out, out_len)))));
	PG_RETURN_TEXT_P(from_engine(out, out_len));
}

/* korvix_phonetic(text text) */
Datum
korvix_phonetic(PG_FUNCTION_ARGS)
{
	return text_call(fcinfo, korvix_pg_phonetic);
}

/* korvix_describe(algorithm text) */
Datum
korvix_describe(PG_FUNCTION_ARGS)
{
	return text_call(fcinfo, korvix_pg_describe);
}

/* korvix_code(given text): the code, or an error saying what is wrong */
Datum
korvix_code(PG_FUNCTION_ARGS)
{
	return text_call(fcinfo, korvix_pg_code);
}

/* korvix_normalize(record text) */
Datum
korvix_normalize(PG_FUNCTION_ARGS)
{
	return text_call(fcinfo, korvix_pg_normalize);
}

/* korvix_keys(record text) returns text[]: one key per recommended algorithm. */
Datum
korvix_keys(PG_FUNCTION_ARGS)
{
	text	   *arg = PG_GETARG_TEXT_PP(0);
	size_t		len = VARSIZE_ANY_EXHDR(arg);
	const char *record = to_engine(VARDATA_ANY(arg), &len);
	korvix_pg_session *session = session_of(fcinfo);
	size_t		count;
	size_t		i;
	Datum	   *keys;

	if (!korvix_pg_keys(session, record, len, &count))
		out_of_memory();
	keys = palloc(Max(count, 1) * sizeof(Datum));
	for (i = 0; i < count; i++)
	{
		const char *key;
		size_t		key_len;

		korvix_pg_key_at(session, i, &key, &key_len);
		keys[i] = PointerGetDatum(from_engine(key, key_len));
	}
	PG_RETURN_ARRAYTYPE_P(construct_array(keys, (int) count, TEXTOID, -1, false, TYPALIGN_INT));
}

/* korvix_score(a text, b text) returns double precision */
Datum
korvix_score(PG_FUNCTION_ARGS)
{
	text	   *a = PG_GETARG_TEXT_PP(0);
	text	   *b = PG_GETARG_TEXT_PP(1);
	size_t		a_len = VARSIZE_ANY_EXHDR(a);
	size_t		b_len = VARSIZE_ANY_EXHDR(b);
	const char *a_utf8 = to_engine(VARDATA_ANY(a), &a_len);
	const char *b_utf8 = to_engine(VARDATA_ANY(b), &b_len);
	double		score;

	if (!korvix_pg_score(session_of(fcinfo), a_utf8, a_len, b_utf8, b_len, &score))
		out_of_memory();
	PG_RETURN_FLOAT8(score);
}

/* korvix_explain(a text, b text) returns jsonb */
Datum
korvix_explain(PG_FUNCTION_ARGS)
{
	text	   *a = PG_GETARG_TEXT_PP(0);
	text	   *b = PG_GETARG_TEXT_PP(1);
	size_t		a_len = VARSIZE_ANY_EXHDR(a);
	size_t		b_len = VARSIZE_ANY_EXHDR(b);
	const char *a_utf8 = to_engine(VARDATA_ANY(a), &a_len);
	const char *b_utf8 = to_engine(VARDATA_ANY(b), &b_len);
	const char *json;
	size_t		json_len;

	if (!korvix_pg_explain(session_of(fcinfo), a_utf8, a_len, b_utf8, b_len, &json, &json_len))
		out_of_memory();
	return DirectFunctionCall1(jsonb_in,
							   CStringGetDatum(text_to_cstring(from_engine(json, json_len))));
}

/* The rows korvix_matches collects, in the aggregate's memory: records and
 * ids (UTF-8) back to back, where each ends, and the new record. */
typedef struct Matches
{
	StringInfoData records;
	StringInfoData ids;
	size_t	   *ends;
	size_t	   *id_ends;
	size_t		count;
	size_t		capacity;
	char	   *new_record;
	size_t		new_len;
} Matches;

/* korvix_matches_step(state internal, record text, id text, new_record text):
 * a row that the index found for the new record; NULL rows match nothing. */
Datum
korvix_matches_step(PG_FUNCTION_ARGS)
{
	MemoryContext aggregate;
	MemoryContext caller;
	Matches    *m = PG_ARGISNULL(0) ? NULL : (Matches *) PG_GETARG_POINTER(0);
	text	   *record;
	text	   *fresh;
	size_t		len;
	size_t		fresh_len;
	size_t		id_len = 0;
	const char *bytes;
	const char *fresh_bytes;
	const char *id = "";

	if (!AggCheckCallContext(fcinfo, &aggregate))
		elog(ERROR, "korvix_matches_step called outside an aggregate");
	caller = MemoryContextSwitchTo(aggregate);
	if (m == NULL)
	{
		m = palloc0(sizeof(Matches));
		initStringInfo(&m->records);
		initStringInfo(&m->ids);
	}
	MemoryContextSwitchTo(caller);
	if (PG_ARGISNULL(1) || PG_ARGISNULL(3))
		PG_RETURN_POINTER(m);
	record = PG_GETARG_TEXT_PP(1);
	fresh = PG_GETARG_TEXT_PP(3);
	len = VARSIZE_ANY_EXHDR(record);
	fresh_len = VARSIZE_ANY_EXHDR(fresh);
	bytes = to_engine(VARDATA_ANY(record), &len);
	fresh_bytes = to_engine(VARDATA_ANY(fresh), &fresh_len);
	if (!PG_ARGISNULL(2))
	{
		text	   *id_text = PG_GETARG_TEXT_PP(2);

		id_len = VARSIZE_ANY_EXHDR(id_text);
		id = to_engine(VARDATA_ANY(id_text), &id_len);
	}
	if (m->new_record != NULL &&
		(fresh_len != m->new_len || memcmp(fresh_bytes, m->new_record, fresh_len) != 0))
		ereport(ERROR,
				(errcode(ERRCODE_INVALID_PARAMETER_VALUE),
				 errmsg("korvix_matches: one new record per group of rows")));
	caller = MemoryContextSwitchTo(aggregate);
	if (m->new_record == NULL)
	{
		m->new_record = pnstrdup(fresh_bytes, fresh_len);
		m->new_len = fresh_len;
	}
	if (m->count == m->capacity)
	{
		m->capacity = m->capacity == 0 ? 64 : m->capacity * 2;
		m->ends = m->ends == NULL ? palloc(m->capacity * sizeof(size_t))
			: repalloc(m->ends, m->capacity * sizeof(size_t));
		m->id_ends = m->id_ends == NULL ? palloc(m->capacity * sizeof(size_t))
			: repalloc(m->id_ends, m->capacity * sizeof(size_t));
	}
	appendBinaryStringInfo(&m->records, bytes, (int) len);
	appendBinaryStringInfo(&m->ids, id, (int) id_len);
	m->ends[m->count] = (size_t) m->records.len;
	m->id_ends[m->count] = (size_t) m->ids.len;
	m->count++;
	MemoryContextSwitchTo(caller);
	PG_RETURN_POINTER(m);
}

/* korvix_matches_final(state internal) returns jsonb */
Datum
korvix_matches_final(PG_FUNCTION_ARGS)
{
	Matches    *m = PG_ARGISNULL(0) ? NULL : (Matches *) PG_GETARG_POINTER(0);
	const char *json = "[]";
	size_t		json_len = 2;

	if (m != NULL && m->count > 0 &&
		!korvix_pg_matches(session_of(fcinfo), m->new_record, m->new_len, m->records.data, m->ends,
						   m->ids.data, m->id_ends, m->count, &json, &json_len))
		out_of_memory();
	return DirectFunctionCall1(jsonb_in,
							   CStringGetDatum(text_to_cstring(from_engine(json, json_len))));
}
