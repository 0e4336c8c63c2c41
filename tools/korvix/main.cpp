#include <iostream>
#include "korvix/key_builder.h"
#include "korvix/phonetic.h"
#include "korvix/description.h"
int main(int argc, char** argv) {
  std::string rec = "12345|Musterstadt|Hauptstraße 5|MUELLER|Müller GmbH|Einkauf|||A";
  for (auto code : {"010300000000000003050000000000000504110000000000", "01060000000000000208100000000000", "09030000000000000202100000000000", "5112000000000000"})
    std::cout << korvix::BuildKey(code, rec) << "|" << korvix::DescribeAlgorithm(code) << "\n";
  for (auto t : {"Meier","Mayer","Müller","Mueller","Schmidt","Schmitt","Hoffmann","Fischer","Thomas","Koch","Bäcker","Müller & Söhne","Haus 12","Straße","Anna","Otto","Café"})
    std::cout << t << " " << korvix::PhoneticCode(t) << "\n";
  for (auto t : {"Lange Straße 12","Am Strand 3","Berliner Str. 5","Hauptstraße 5","Hauptstrasse 5"}) std::cout << korvix::NormalizeStreet(t) << "\n";
  std::cout << korvix::BuildKey("010300000000000003050000000000000504110000000000", "") << "\n" << korvix::BuildKey("010300000000000003050000000000000504110000000000", "1|2") << "\n";
  std::cout << korvix::BuildKey("01040000000000009903000000000000", "12345") << " " << korvix::DescribeAlgorithm("01040000000000009903000000000000") << " " << korvix::DescribeAlgorithm("9903000000000000")<< "\n";
}
