-- ALTER EXTENSION korvix UPDATE from 2.1; CREATE EXTENSION runs it after
-- korvix--2.0--2.1.sql.
\echo Use "ALTER EXTENSION korvix UPDATE TO '2.2'" to load this file. \quit

-- A code checked, or a readable form turned into its code, before it keys
-- anything: a code with a typo would give every row the same key.
CREATE FUNCTION korvix_code(given text) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_code'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_code(text) IS
  'the algorithm code that a code or its readable form such as 5(PLZ)+4R[''sndx:Bez1] stands for; an error says what is wrong with any other text';
