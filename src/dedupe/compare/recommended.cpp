// The zero-configuration options, in a file of their own: the database
// extensions key with them and must not link the whole job.
#include "korvix/algorithm_code.h"
#include "korvix/dedupe.h"

namespace korvix {

DedupeOptions RecommendedDedupe() {
  DedupeOptions options;
  // Everybody at one address; one street and house number in one town
  // with a name that sounds alike (a PLZ typed wrong); one PLZ and a name
  // that sounds alike (the street written otherwise). Verification sorts
  // out the family, the neighbours and the namesakes that these bring.
  options.algorithms = {
      {"010500000000000003060000000000000303100000000000", "PLZ, Straße, Hausnummer"},
      {"0206000000000000030600000000000003031000000000000503010000000000",
       "Ort, Straße, Hausnummer, Klang Bez1"},
      {"01050000000000005106010000000000", "PLZ, Klang Bez1+2"},
  };
  options.optional_items = {kFieldOrt};
  options.normalize = true;
  options.verify = 0.7;
  return options;
}

}  // namespace korvix
