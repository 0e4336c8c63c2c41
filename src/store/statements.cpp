#include <string>

#include "korvix/algorithm_store.h"

namespace korvix {
namespace {

// The value between the quotes the fixed pieces carry: its own quotes doubled.
std::string Quoted(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out;
}

}  // namespace

std::string AllAlgorithmsStatement() {
  return "Select * From DoubletAlgorithms Order By AlgorithmCode";
}

std::string VisibleAlgorithmsStatement(std::string_view personal_nr) {
  return "Select * From DoubletAlgorithms Where PersonalNr='" + Quoted(personal_nr) +
         "' or PersonalNr='-' Order By AlgorithmCode";
}

std::string StaffStatement(std::string_view personal_nr) {
  return "Select * From Personalstamm Where PersonalNr='" + Quoted(personal_nr) + "'";
}

std::string AlgorithmStatement(std::string_view code, std::string_view owner) {
  return "Select * From DoubletAlgorithms Where AlgorithmCode='" + Quoted(code) +
         "' And PersonalNr='" + Quoted(owner) + "'";
}

std::string PublicAlgorithmStatement(std::string_view code) {
  return "Select * From DoubletAlgorithms Where AlgorithmCode='" + Quoted(code) +
         "' And PersonalNr='-'";
}

}  // namespace korvix
