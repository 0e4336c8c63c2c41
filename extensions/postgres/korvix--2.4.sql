-- CREATE EXTENSION korvix: version 2.4 in one go. A database of an older
-- version gets here by ALTER EXTENSION korvix UPDATE through
-- korvix--2.0.sql and the update scripts, which must give the same
-- functions (postgres_extension_test compares the two).
\echo Use "CREATE EXTENSION korvix" to load this file. \quit

-- Every function computes its result from its arguments alone: IMMUTABLE,
-- so it can back an index on an expression or a generated column, and
-- PARALLEL SAFE for parallel scans. STRICT: a NULL argument gives NULL.

CREATE FUNCTION korvix_key(algorithm text, record text) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_key'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_key(text, text) IS
  'the duplicate key of a record string PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe';

-- The fields in that order, joined by "|" here; a NULL field reads as empty.
CREATE FUNCTION korvix_key(algorithm text, VARIADIC fields text[]) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_key_fields'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_key(text, text[]) IS
  'the duplicate key of the fields PLZ, Ort, Straße, Suchbegriff, Bez1, Bez2, Bez3, Bez4, Kundengruppe';

CREATE FUNCTION korvix_phonetic(text text) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_phonetic'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_phonetic(text) IS
  'the German phonetic code of a text: Meier, Mayer and Maier give MR';

CREATE FUNCTION korvix_describe(algorithm text) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_describe'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_describe(text) IS
  'the readable description of an algorithm code, such as 3(PLZ)+5(Straße)';

CREATE FUNCTION korvix_normalize(record text) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_normalize'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_normalize(text) IS
  'the record string as the duplicate check normalises it: capitals, umlauts written out, Str. as Strasse, titles and legal forms taken off';

-- An array, so that a GIN index on it finds the rows that share any key
-- with a new record: korvix_keys(record) && korvix_keys(new).
CREATE FUNCTION korvix_keys(record text) RETURNS text[]
AS 'MODULE_PATHNAME', 'korvix_keys'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_keys(text) IS
  'the keys of the normalised record under the recommended algorithms: PLZ, Straße, Hausnummer; Ort, Straße, Hausnummer, Klang Bez1; PLZ, Klang Bez1+2';

CREATE FUNCTION korvix_score(a text, b text) RETURNS double precision
AS 'MODULE_PATHNAME', 'korvix_score'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_score(text, text) IS
  'how alike two records are, from 0 to 1, as korvix dedupe --verify scores a candidate pair';

-- jsonb, so that queries can read its parts: korvix_explain(a, b)->>'rule'.
CREATE FUNCTION korvix_explain(a text, b text) RETURNS jsonb
AS 'MODULE_PATHNAME', 'korvix_explain'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_explain(text, text) IS
  'how two records compare: the normalised records, each part of the score, the score and the rule that decided';

CREATE FUNCTION korvix_code(given text) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_code'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_code(text) IS
  'the algorithm code that a code or its readable form such as 5(PLZ)+4R[''sndx:Bez1] stands for; an error says what is wrong with any other text';

CREATE FUNCTION korvix_record(VARIADIC fields text[]) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_record'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_record(text[]) IS
  'the record string PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe of the fields, a NULL field as an empty one';

-- The exact look-up: the rows an index found for a new record, scored
-- together as the dedupe job scores a base's candidates (surnames weighed
-- among them, a key of more than 200 rows split as the job splits it).
-- Not STRICT: a row with a NULL record matches nothing; no rows give [].
CREATE FUNCTION korvix_matches_step(state internal, record text, id text, new_record text)
RETURNS internal
AS 'MODULE_PATHNAME', 'korvix_matches_step'
LANGUAGE C IMMUTABLE;
CREATE FUNCTION korvix_matches_final(state internal) RETURNS jsonb
AS 'MODULE_PATHNAME', 'korvix_matches_final'
LANGUAGE C IMMUTABLE;
CREATE AGGREGATE korvix_matches(record text, id text, new_record text) (
  SFUNC = korvix_matches_step, STYPE = internal, FINALFUNC = korvix_matches_final);
COMMENT ON AGGREGATE korvix_matches(text, text, text) IS
  'the rows that new_record matches among those aggregated, as korvix dedupe --base decides: [{"id", "score", "algorithm"}], best first';
