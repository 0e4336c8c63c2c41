-- ALTER EXTENSION korvix UPDATE from 2.2; korvix--2.3.sql installs 2.3 in one go.
\echo Use "ALTER EXTENSION korvix UPDATE TO '2.3'" to load this file. \quit

-- The record string of a table's columns, so that an index, a look-up and
-- korvix_score read the same text: array_to_string is only STABLE, and
-- concat_ws leaves NULLs out and so shifts the items after them.
CREATE FUNCTION korvix_record(VARIADIC fields text[]) RETURNS text
AS 'MODULE_PATHNAME', 'korvix_record'
LANGUAGE C IMMUTABLE STRICT PARALLEL SAFE;
COMMENT ON FUNCTION korvix_record(text[]) IS
  'the record string PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe of the fields, a NULL field as an empty one';
