// Prints one key through the installed library.
#include <iostream>

#include "korvix/doublet_functions.h"

int main() {
  const korvix::DoubletFunctions df;
  std::cout << df.BuildDoubletKey("010300000000000003050000000000000504110000000000",
                                  "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH")
            << "\n";
}
