-- ALTER EXTENSION korvix UPDATE from 2.0; CREATE EXTENSION runs it after
-- korvix--2.0.sql.
\echo Use "ALTER EXTENSION korvix UPDATE TO '2.1'" to load this file. \quit

-- The duplicate check inside the database. Like the keys, each computes
-- from its arguments alone: IMMUTABLE, STRICT, PARALLEL SAFE.

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
