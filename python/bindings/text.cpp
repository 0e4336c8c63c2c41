#include "text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvix::python {
namespace {

// Writes code point `c` as UTF-8 at `to`; returns the end. A surrogate
// (which only surrogatepass writes) takes the three bytes of its own code.
char* PutUtf8(std::uint32_t c, char* to) {
  if (c < 0x80) {
    *to++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *to++ = static_cast<char>(0xC0 | (c >> 6));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *to++ = static_cast<char>(0xE0 | (c >> 12));
    *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *to++ = static_cast<char>(0xF0 | (c >> 18));
    *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *to++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return to;
}

// Replaces *out with the UTF-8 of `chars`.
template <class Char>
void Utf8OfChars(const Char* chars, std::size_t length, std::string* out) {
  // As ReadText: escaped bytes (U+DC80-U+DCFF) go back to being bytes when
  // every surrogate is one; otherwise every surrogate passes as its code.
  bool escape = false;
  if constexpr (sizeof(Char) > 1) {
    bool any = false;
    bool all_escaped = true;
    for (std::size_t i = 0; i < length; ++i) {
      if (chars[i] >= 0xD800 && chars[i] < 0xE000) {
        any = true;
        all_escaped = all_escaped && chars[i] >= 0xDC80 && chars[i] < 0xDD00;
      }
    }
    escape = any && all_escaped;
  }
  out->resize(length * 4);  // the most UTF-8 a character takes
  char* to = out->data();
  for (std::size_t i = 0; i < length;) {
#if defined(__SSE2__)
    if constexpr (sizeof(Char) == 1) {
      // The ASCII characters of the next sixteen at once, as most of any
      // text is: stored whole, kept up to the first one that is not.
      if (i + 16 <= length) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), block);
        const auto ascii = static_cast<std::size_t>(
            std::countr_zero(static_cast<unsigned>(_mm_movemask_epi8(block)) | 0x10000u));
        to += ascii;
        i += ascii;
        if (ascii == 16) continue;
      }
    }
#endif
    const std::uint32_t c = chars[i++];
    if (c < 0x80) {  // most of any text: one branch, one byte
      *to++ = static_cast<char>(c);
    } else if (escape && c >= 0xDC80 && c < 0xDD00) {
      *to++ = static_cast<char>(c - 0xDC00);
    } else {
      to = PutUtf8(c, to);
    }
  }
  out->resize(static_cast<std::size_t>(to - out->data()));
}

// The character of valid UTF-8 `text` at *at; moves *at past it.
std::uint32_t NextChar(std::string_view text, std::size_t* at) {
  const auto b = static_cast<unsigned char>(text[*at]);
  const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  std::uint32_t c = n == 1 ? b : b & (0x7Fu >> n);
  for (std::size_t j = 1; j < n; ++j) c = c << 6 | (static_cast<unsigned char>(text[*at + j]) & 0x3F);
  *at += n;
  return c;
}

}  // namespace

bool ReadText(py::handle object, Text* text) {
  PyObject* raw = object.ptr();
  auto owner = py::reinterpret_borrow<py::object>(object);
  if (PyUnicode_Check(raw)) {
    Py_ssize_t size = 0;
    if (const char* data = PyUnicode_AsUTF8AndSize(raw, &size)) {
      text->view = std::string_view(data, static_cast<std::size_t>(size));
      text->owner = std::move(owner);
      return true;
    }
    // Lone surrogates have no UTF-8. Escaped bytes go back to being bytes;
    // any other surrogate passes as its three bytes, which read as
    // Windows-1252 like every other invalid sequence.
    PyErr_Clear();
    PyObject* bytes = PyUnicode_AsEncodedString(raw, "utf-8", "surrogateescape");
    if (bytes == nullptr) {
      PyErr_Clear();
      bytes = PyUnicode_AsEncodedString(raw, "utf-8", "surrogatepass");
    }
    if (bytes == nullptr) {
      PyErr_Clear();
      return false;
    }
    owner = py::reinterpret_steal<py::object>(bytes);
    raw = bytes;
  } else if (!PyBytes_Check(raw)) {
    return false;
  }
  text->view =
      std::string_view(PyBytes_AS_STRING(raw), static_cast<std::size_t>(PyBytes_GET_SIZE(raw)));
  text->owner = std::move(owner);
  return true;
}

std::vector<std::string_view> Views(py::handle texts, std::vector<py::object>* owners, const char* what) {
  std::vector<std::string_view> views;
  std::size_t position = 0;
  for (const py::handle r : texts) {
    Text text;
    if (!ReadText(r, &text)) {
      throw py::type_error(std::string(what) + " " + std::to_string(position) + " is " +
                           std::string(Py_TYPE(r.ptr())->tp_name) + ", not str");
    }
    views.push_back(text.view);
    if (text.owner) owners->push_back(std::move(text.owner));
    ++position;
  }
  return views;
}

py::str ToStr(std::string_view text) {
  PyObject* result = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                          "surrogateescape");
  if (result == nullptr) throw py::error_already_set();  // out of memory
  return py::reinterpret_steal<py::str>(result);
}


bool RefText(py::handle object, TextRef* ref) {
  PyObject* raw = object.ptr();
  if (PyBytes_Check(raw)) {
    *ref = {PyBytes_AS_STRING(raw), static_cast<std::size_t>(PyBytes_GET_SIZE(raw)), 0};
    return true;
  }
  if (!PyUnicode_Check(raw)) return false;
#if PY_VERSION_HEX < 0x030C0000
  if (PyUnicode_READY(raw) != 0) {  // a legacy string that cannot be made ready
    PyErr_Clear();
    return false;
  }
#endif
  const int width = PyUnicode_IS_ASCII(raw) ? 0 : static_cast<int>(PyUnicode_KIND(raw));
  *ref = {PyUnicode_DATA(raw), static_cast<std::size_t>(PyUnicode_GET_LENGTH(raw)), width};
  return true;
}

std::string_view Utf8Of(const TextRef& ref, std::string* scratch) {
  switch (ref.width) {
    case 0:
      return {static_cast<const char*>(ref.data), ref.length};
    case 1:
      Utf8OfChars(static_cast<const std::uint8_t*>(ref.data), ref.length, scratch);
      break;
    case 2:
      Utf8OfChars(static_cast<const std::uint16_t*>(ref.data), ref.length, scratch);
      break;
    default:
      Utf8OfChars(static_cast<const std::uint32_t*>(ref.data), ref.length, scratch);
  }
  return *scratch;
}

void TextRun::Add(std::string_view text) {
  std::uint32_t chars = 0;
  std::uint32_t widest = 127;
  for (std::size_t k = 0; k < text.size(); ++chars) {
    if (static_cast<unsigned char>(text[k]) < 0x80) {
      ++k;
    } else {
      widest = std::max(widest, NextChar(text, &k));
    }
  }
  bytes_.append(text);
  texts_.push_back({static_cast<std::uint32_t>(bytes_.size()), chars, widest});
}

void PutStrs(const TextRun& run, py::list& list, std::size_t at) {
  std::size_t begin = 0;
  for (const TextRun::Entry& entry : run.texts()) {
    // Made in place rather than decoded by Python: keys are short, and
    // most are ASCII, which is a copy.
    const std::string_view text(run.bytes().data() + begin, entry.end - begin);
    begin = entry.end;
    PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(entry.chars), static_cast<Py_UCS4>(entry.widest));
    if (str == nullptr) throw py::error_already_set();
    if (entry.widest < 0x80) {
      std::memcpy(PyUnicode_DATA(str), text.data(), text.size());
    } else {
      const int kind = PyUnicode_KIND(str);
      void* data = PyUnicode_DATA(str);
      for (std::size_t k = 0, c = 0; k < text.size(); ++c) PyUnicode_WRITE(kind, data, c, NextChar(text, &k));
    }
    PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(at++), str);
  }
}

}  // namespace korvix::python
