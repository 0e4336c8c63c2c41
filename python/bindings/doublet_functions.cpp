// korvix.DoubletFunctions: the component's class with its five methods under
// their own names, argument names and defaults; the dialog toolkit choice.
#include "korvix/doublet_functions.h"

#include <pybind11/pybind11.h>

#include <memory>
#include <mutex>
#include <string>

#include "bindings.h"
#include "connection.h"
#include "errors.h"
#include "korvix/korvix.h"
#include "text.h"

namespace korvix::python {
namespace {

// Runs `call` on the connection (or none) with the GIL released and the
// connection's turn taken.
template <typename Call>
std::string OnConnection(const std::shared_ptr<Connection>& connection, Call&& call) {
  py::gil_scoped_release release;
  std::unique_lock<std::mutex> turn;
  db::Connection* raw = connection == nullptr ? nullptr : connection->Use(turn);
  return call(raw);
}

}  // namespace

void BindDoubletFunctions(py::module_& module) {
  module.attr("PROG_ID") = std::string(kProgId);

  py::class_<DoubletFunctions>(module, "DoubletFunctions",
                               "The component's class. It holds no state: every object gives the "
                               "same results, and no method raises.")
      .def(py::init<>())
      .def(
          "BuildDoubletKey",
          [](const DoubletFunctions& df, const Text& Algorithm, const Text& Data) {
            return ToStr(df.BuildDoubletKey(Algorithm.view, Data.str()));
          },
          py::arg("Algorithm"), py::arg("Data"),
          "The duplicate key of record string Data under algorithm code Algorithm.")
      .def(
          "TranslateAlgorithm",
          [](const DoubletFunctions& df, const Text& Algorithm) {
            return ToStr(df.TranslateAlgorithm(Algorithm.view));
          },
          py::arg("Algorithm"), "The readable description of Algorithm.")
      .def(
          "GetAlgorithmName",
          [](const DoubletFunctions& df, std::shared_ptr<Connection> connection,
             const Text& Algorithm, const Text& PersonalNr) {
            return ToStr(OnConnection(connection, [&](db::Connection* raw) {
              return df.GetAlgorithmName(raw, Algorithm.view, PersonalNr.view);
            }));
          },
          py::arg("Connection").none(true), py::arg("Algorithm"), py::arg("PersonalNr"),
          "The name of Algorithm as user PersonalNr sees it, else its description.\n"
          "None or a closed connection reads as no table.")
      .def(
          "ShowDlg",
          [](const DoubletFunctions& df, std::shared_ptr<Connection> connection,
             const Text& Algorithm, const Text& PersonalNr, bool IsAdmin, bool AllowSelect,
             const Text& AlgorithmName) {
            std::string name = AlgorithmName.str();
            const std::string code = OnConnection(connection, [&](db::Connection* raw) {
              return df.ShowDlg(raw, Algorithm.view, PersonalNr.view, IsAdmin, AllowSelect,
                                &name);
            });
            return py::make_tuple(ToStr(code), ToStr(name));
          },
          py::arg("Connection").none(true), py::arg("Algorithm") = "", py::arg("PersonalNr") = "",
          py::arg("IsAdmin") = false, py::arg("AllowSelect") = true,
          py::arg("AlgorithmName") = "",
          "Shows the selection dialog and returns (code, AlgorithmName): the chosen\n"
          "code, or '' without a choice, and the by-reference AlgorithmName, which\n"
          "becomes the chosen entry's list text or keeps the value passed in.")
      .def(
          "BuildSoundexString",
          [](const DoubletFunctions& df, const Text& text) {
            return ToStr(df.BuildSoundexString(text.view));
          },
          py::arg("Text"), "The phonetic code of Text.")
      .def("__repr__", [](const DoubletFunctions&) { return "<korvix.DoubletFunctions>"; });

  module.def(
      "create_object",
      [](const Text& prog_id) {
        if (prog_id.view == kProgId) return DoubletFunctions();
        // The C interface words the refusal; a text with a NUL in it is
        // refused whatever the C interface makes of its first part.
        const std::string id = prog_id.str();
        char* error = nullptr;
        korvix_release_object(korvix_create_object(id.c_str(), &error));
        const std::string message =
            error == nullptr ? "no class is registered as \"" + id + "\"" : std::string(error);
        korvix_free(error);
        throw UnknownClassError(message);
      },
      py::arg("prog_id"),
      "An object of the class that prog_id names, as a host creates it by its\n"
      "programmatic identifier. Raises UnknownClassError for any identifier but\n"
      "PROG_ID (exactly, case included).");

  module.def(
      "use_toolkit",
      [](const Text& name) {
        std::string chosen = name.str();
        char* error = nullptr;
        if (korvix_use_toolkit(chosen.c_str(), &error)) return;
        const std::string message = error == nullptr ? std::string() : std::string(error);
        korvix_free(error);
        throw ToolkitError(message);
      },
      py::arg("name"),
      "Chooses the dialog toolkit for the process: \"headless\" (the default: dialogs\n"
      "close at once without a choice, so nothing blocks) or \"qt\" (real windows, from\n"
      "libkorvix-qt). Raises ToolkitError, saying why, when the toolkit is not\n"
      "available; the choice then stays as it was.");
}

}  // namespace korvix::python
