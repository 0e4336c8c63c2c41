// Reading a number from text, the one rule for every number in a code or a box.
#ifndef KORVIX_ENGINE_NUMBER_H_
#define KORVIX_ENGINE_NUMBER_H_

#include "base/text.h"

namespace korvix::engine {

// The leading decimal number of `chars`, rounded half to even; 0 when there
// is none. Blanks are skipped wherever they stand. Saturates at the int range.
int ReadNumber(text::TextView chars);

}  // namespace korvix::engine

#endif  // KORVIX_ENGINE_NUMBER_H_
