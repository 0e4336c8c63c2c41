// Scenario files: the tool run as a user runs it, written as data. A file is
// a sequence of steps in one fresh directory, $DIR:
//
//   file NAME      the block below is written to $DIR/NAME
//   stdin          the block below is the next run's standard input
//   stdin unended  the same without its last line end
//   run ARG...     runs korvix; ARGs apart by blanks ("..." keeps blanks);
//                  $DIR and the names the test gives are replaced
//   status N       the last run's exit status
//   out            the block equals the last run's standard output, with
//                  the time a run took written "seconds S"
//   out has        the block, less its last line end, is a part of the
//                  standard output (an empty last line asks for a line end)
//   err has        the same for the standard error
//   contents NAME  the block equals $DIR/NAME, times written "seconds S"
//
// A block is the lines below its step that start with '|', each without the
// '|' and one blank after it, each ending in a line end; case-file escapes
// (\t, \\, \xHH) stand for their bytes. '#' starts a comment outside a block.
// A step that cannot be read, or a file without a run, throws.
#ifndef KORVIX_TESTS_TOOLS_SCENARIO_H_
#define KORVIX_TESTS_TOOLS_SCENARIO_H_

#include <string>

#include "case_file.h"

namespace korvix::testing {

// Runs the scenarios of `name` under tests/, with each of `names` replaced by
// its value in the runs; a failed check fails the test.
void RunScenarios(const std::string& name, const Names& names = {});

// `text` with the seconds a run took written "seconds S" ("\"seconds\": S"
// in JSON): they change from run to run.
std::string Steady(std::string text);

}  // namespace korvix::testing

#endif  // KORVIX_TESTS_TOOLS_SCENARIO_H_
