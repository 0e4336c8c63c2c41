// From the readable description back to the algorithm code.
//
// The text is read as bytes and the labels compared byte for byte, so that
// only what DescribeAlgorithm itself writes is accepted (a Latin-1 "Stra\xDFe"
// is not "Straße"); positions are counted in characters for the messages.
#include <string>
#include <vector>

#include "base/text.h"
#include "korvix/text.h"
#include "korvix/algorithm_code.h"
#include "korvix/description.h"
#include "korvix/fields.h"

namespace korvix {
namespace {

constexpr std::string_view kPhoneticOpen = "['sndx:";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Every label in the order of the editor's field box.
std::string AllLabels() {
  std::string labels;
  for (const RecordField& f : RecordFields()) {
    if (!labels.empty()) labels += ", ";
    labels += f.label;
  }
  return labels;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Run(std::string* code, DescriptionError* error) {
    std::vector<AlgorithmSlot> slots;
    const bool ok = Items(&slots);
    if (!ok) {
      if (error != nullptr) {
        error->position = Position(failed_at_);
        error->message = std::move(message_);
      }
      return false;
    }
    *code = WriteAlgorithmCode(slots);
    return true;
  }

 private:
  bool Items(std::vector<AlgorithmSlot>* slots) {
    if (text_.empty()) return Fail(0, "the description is empty");
    for (;;) {
      if (slots->size() == static_cast<std::size_t>(kMaxSlots)) {
        return Fail(at_, "an algorithm has at most " + std::to_string(kMaxSlots) + " items");
      }
      AlgorithmSlot slot;
      if (!Item(&slot)) return false;
      slots->push_back(slot);
      if (at_ == text_.size()) return true;
      if (text_[at_] != '+') return Fail(at_, "expected \"+\" and the next item, or the end");
      ++at_;
    }
  }

  // LENGTH ["R"] ("(" LABEL ")" | "['sndx:" LABEL "]")
  bool Item(AlgorithmSlot* slot) {
    const std::size_t start = at_;
    while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
    const std::string_view digits = text_.substr(start, at_ - start);
    if (digits.empty()) return Fail(start, "expected a length from 1 to 99");
    if (digits.size() > 2 || digits == "0") {
      return Fail(start, "a length is 1 to 99, not " + std::string(digits));
    }
    if (digits[0] == '0') return Fail(start, "a length has no leading zero");
    slot->length = std::stoi(std::string(digits));
    if (at_ < text_.size() && text_[at_] == 'R') {
      slot->direction = 1;
      ++at_;
    }
    const std::size_t open = at_;
    char close;
    if (text_.substr(at_).starts_with(kPhoneticOpen)) {
      slot->phonetic = 1;
      at_ += kPhoneticOpen.size();
      close = ']';
    } else if (at_ < text_.size() && text_[at_] == '(') {
      ++at_;
      close = ')';
    } else {
      return Fail(at_, "expected \"(\" or \"['sndx:\" after the length");
    }
    const std::size_t end = text_.find(close, at_);
    if (end == std::string_view::npos) {
      return Fail(open, std::string("no \"") + close + "\" closes this field");
    }
    const std::string_view label = text_.substr(at_, end - at_);
    slot->field = FieldNamed(label);
    if (slot->field == 0) return false;
    at_ = end + 1;
    return true;
  }

  // The field whose label is exactly `label`, or 0 after Fail.
  int FieldNamed(std::string_view label) {
    if (label.empty()) {
      return Fail(at_, "no field named: the fields 10 to 50 have no label, so give their code");
    }
    std::string_view alike;
    for (const RecordField& f : RecordFields()) {
      if (f.label == label) return f.number;
      if (FoldColumnName(f.label, false) == FoldColumnName(label, false)) alike = f.label;
    }
    std::string message = "no field is named \"" + MessageText(label) + "\"";
    if (!alike.empty()) message += " (did you mean \"" + std::string(alike) + "\"?)";
    Fail(at_, message + "; the fields are " + AllLabels());
    return 0;
  }

  bool Fail(std::size_t byte, std::string message) {
    failed_at_ = byte;
    message_ = std::move(message);
    return false;
  }

  // The 1-based character at byte offset `byte`.
  std::size_t Position(std::size_t byte) const {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < byte; i += text::DecodeCharacter(text_, i).length) ++characters;
    return characters + 1;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t failed_at_ = 0;
  std::string message_;
};

}  // namespace

bool ParseDescription(std::string_view description, std::string* code, DescriptionError* error) {
  return Parser(description).Run(code, error);
}

}  // namespace korvix
