-- Loaded by CREATE EXTENSION korvix.
\echo Use "CREATE EXTENSION korvix" to load this file. \quit

-- Every function computes text from its arguments alone: IMMUTABLE, so it
-- can back an index on an expression or a generated column, and PARALLEL
-- SAFE for parallel scans. STRICT: a NULL argument gives NULL.

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
