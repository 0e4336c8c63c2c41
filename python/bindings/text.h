// Text between Python and the component.
//
// The component reads UTF-8 and takes bytes that are not UTF-8 as
// Windows-1252. From Python it accepts str and bytes: a str whose text came
// from decoding legacy bytes with errors="surrogateescape" gives those bytes
// back, so "M\udcfcller" keys as "Müller"; bytes go in as they are. Results
// come back as str; a byte that is not UTF-8 (possible only in values read
// from a database) becomes a surrogate escape instead of an error.
#ifndef KORVIX_PYTHON_TEXT_H_
#define KORVIX_PYTHON_TEXT_H_

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvix::python {

namespace py = pybind11;

// A text argument: a view of its UTF-8 bytes and what keeps them alive.
struct Text {
  std::string_view view;
  py::object owner;

  std::string str() const { return std::string(view); }
};

// Reads `object` into *text. Returns false, changing nothing and raising
// nothing, when it is neither str nor bytes. Needs the GIL.
bool ReadText(py::handle object, Text* text);

// Views of the texts of an iterable of str or bytes, whose bytes `owners`
// keeps alive; raises TypeError naming the `what` at fault otherwise.
std::vector<std::string_view> Views(py::handle texts, std::vector<py::object>* owners,
                                    const char* what = "record");

// The str of UTF-8 `text`. Needs the GIL; never raises for bad bytes.
py::str ToStr(std::string_view text);

// A str or bytes whose text can be read without the GIL, for as long as a
// reference to the object is held: its bytes when they are UTF-8 already
// (bytes, and a str of ASCII), else the str's own characters.
struct TextRef {
  const void* data = nullptr;
  std::size_t length = 0;  // in units of `width` bytes
  int width = 0;           // 0: UTF-8 bytes; 1, 2 or 4: characters of that many bytes
};

// Reads `object` into *ref, copying nothing. Returns false, changing
// nothing and raising nothing, when it is neither str nor bytes. Needs the GIL.
bool RefText(py::handle object, TextRef* ref);

// The UTF-8 bytes of `ref` exactly as ReadText gives them: a view of its
// own bytes, or of `*scratch` made from its characters. Needs no GIL.
std::string_view Utf8Of(const TextRef& ref, std::string* scratch);

// Short texts written one after the other into one buffer, so that a
// million keys take a million small pieces of it and not a million strings,
// each with what its str needs to know.
class TextRun {
 public:
  // Appends valid UTF-8 `text`.
  void Add(std::string_view text);
  void Reserve(std::size_t texts) { texts_.reserve(texts); }

  struct Entry {
    std::uint32_t end;     // where the text ends in the buffer
    std::uint32_t chars;   // its characters
    std::uint32_t widest;  // 127 when ASCII, else its greatest character
  };
  const std::string& bytes() const { return bytes_; }
  const std::vector<Entry>& texts() const { return texts_; }

 private:
  std::string bytes_;
  std::vector<Entry> texts_;
};

// Sets list[at], list[at + 1], ... to the str of each text of `run`, in
// order; the texts must be valid UTF-8 (such as keys), the places must be
// empty. Needs the GIL.
void PutStrs(const TextRun& run, py::list& list, std::size_t at);

}  // namespace korvix::python

// Lets bound functions take Text arguments; anything but str and bytes is a
// TypeError raised by pybind11 with the function's signature.
namespace pybind11::detail {
template <>
struct type_caster<korvix::python::Text> {
  PYBIND11_TYPE_CASTER(korvix::python::Text, const_name("str"));
  bool load(handle src, bool) { return korvix::python::ReadText(src, &value); }
};
}  // namespace pybind11::detail

#endif  // KORVIX_PYTHON_TEXT_H_
