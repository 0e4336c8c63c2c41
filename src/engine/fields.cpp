#include "korvix/fields.h"

#include <array>

#include "base/text.h"
#include "korvix/algorithm_code.h"

namespace korvix {
namespace {

using Names = std::span<const std::string_view>;

// Names each item goes by in headers, most specific first: the label, the
// German names of CRM exports, then English ones.
constexpr std::string_view kPlz[] = {"plz", "postleitzahl", "zip", "zipcode", "postcode",
                                     "postalcode"};
constexpr std::string_view kOrt[] = {"ort", "stadt", "city", "town", "wohnort"};
constexpr std::string_view kStrasse[] = {"strasse", "str", "street", "address", "adresse",
                                         "anschrift"};
constexpr std::string_view kSuch[] = {"suchbegriff", "suchname", "suchwort", "search",
                                      "searchterm", "matchcode"};
constexpr std::string_view kBez1[] = {"bez1", "bezeichnung1", "name1", "name", "nachname",
                                      "lastname", "surname", "firma", "company"};
constexpr std::string_view kBez2[] = {"bez2", "bezeichnung2", "name2", "vorname", "firstname",
                                      "givenname"};
constexpr std::string_view kBez3[] = {"bez3", "bezeichnung3", "name3"};
constexpr std::string_view kBez4[] = {"bez4", "bezeichnung4", "name4"};
constexpr std::string_view kGruppe[] = {"kundengruppe", "kdgruppe", "gruppe", "group",
                                        "customergroup"};

constexpr std::array<RecordField, 12> kFields = {{
    {kFieldPlz, "PLZ", kPlz},
    {kFieldOrt, "Ort", kOrt},
    {kFieldStrasse, "Straße", kStrasse},
    {kFieldSuchbegriff, "Suchbegriff", kSuch},
    {kFieldBez1, "Bez1", kBez1},
    {kFieldBez12, "Bez1+2", Names()},
    {kFieldBez123, "Bez1+2+3", Names()},
    {kFieldBez1234, "Bez1+2+3+4", Names()},
    {kFieldBez2, "Bez2", kBez2},
    {kFieldBez3, "Bez3", kBez3},
    {kFieldBez4, "Bez4", kBez4},
    {kFieldKundengruppe, "Kundengruppe", kGruppe},
}};

}  // namespace

std::span<const RecordField> RecordFields() { return kFields; }

std::string_view FieldLabel(int number) {
  if (number < 1) number = 1;
  for (const RecordField& f : kFields) {
    if (f.number == number) return f.label;
  }
  return {};
}

std::string FoldColumnName(std::string_view name, bool loose) {
  std::string folded = text::FoldCase(name);
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!folded.empty() && blank(folded.back())) folded.pop_back();
  std::size_t lead = 0;
  while (lead < folded.size() && blank(folded[lead])) ++lead;
  folded.erase(0, lead);
  if (loose) std::erase_if(folded, [](char c) { return c == ' ' || c == '_' || c == '-' || c == '.'; });
  return folded;
}

int FieldOfColumn(std::string_view name, int* rank) {
  const std::string folded = FoldColumnName(name, true);
  for (const RecordField& f : kFields) {
    for (std::size_t r = 0; r < f.column_names.size(); ++r) {
      if (f.column_names[r] != folded) continue;
      if (rank != nullptr) *rank = static_cast<int>(r);
      return f.number;
    }
  }
  return 0;
}

int FieldOfLabel(std::string_view label) {
  const std::string folded = FoldColumnName(label, false);
  for (const RecordField& f : kFields) {
    if (f.number <= kFieldKundengruppe && FoldColumnName(f.label, false) == folded) return f.number;
  }
  return 0;
}

}  // namespace korvix
