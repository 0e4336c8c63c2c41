-- ALTER EXTENSION korvix UPDATE from 2.3; korvix--2.4.sql installs 2.4 in one go.
\echo Use "ALTER EXTENSION korvix UPDATE TO '2.4'" to load this file. \quit

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
