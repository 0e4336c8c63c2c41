// korvix soundex: the phonetic code of every line.
#include "commands.h"
#include "korvix/phonetic.h"
#include "line_reader.h"

namespace korvix::cli {
namespace {

int Run(const Args& args) { return TransformLines(args, &PhoneticCode); }

}  // namespace

extern const Command kSoundexCommand = {
    "soundex", "print the phonetic code of each line", "[FILE...]",
    "Reads one text per line from the files or standard input and prints its phonetic\n"
    "code (the \"Soundex\" of the dialogs): Meier, Mayer and Meyer all give MR.",
    {}, Run};

}  // namespace korvix::cli
