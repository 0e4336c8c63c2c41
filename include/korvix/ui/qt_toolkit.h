// The dialogs in real windows: toolkits on Qt 6 Widgets (libkorvix-qt).
//
// Each form is shown as a window of its own, laid out from its description
// (twips scaled to the screen's logical dpi; 15 twips a pixel at 96 dpi) in
// Tahoma 8.25 pt, or in a sans-serif of close metrics where Tahoma is not
// installed. The windows are views of the forms: every rule of the controls
// stays in korvix::ui::Form, and the user's mouse and keyboard reach the
// dialogs through it. Message boxes are QMessageBox windows with the
// buttons, icon, default and escape button that their flags ask for.
//
// Both toolkits work in a host that runs a QApplication, from that
// application's thread, and in a host that has none: then each call makes
// one for its own length (and gives the host's C locale back). A call that
// finds no usable windowing system (no display, or a host application on
// another thread) shows nothing: ShowModal returns false, leaving the form
// as it was, and MessageBox answers with the box's default button (the
// scripted toolkit: with the next queued answer, if any).
//
//   korvix::ui::QtToolkit qt;
//   korvix::ui::SetDefaultToolkit(&qt);
//   std::string name;
//   const std::string code = korvix::DoubletFunctions().ShowDlg(connection, "", "1001",
//                                                               false, true, &name);
//
// Use one toolkit from one thread at a time.
#ifndef KORVIX_UI_QT_TOOLKIT_H_
#define KORVIX_UI_QT_TOOLKIT_H_

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "korvix/export.h"
#include "korvix/ui/scripting.h"
#include "korvix/ui/toolkit.h"

namespace korvix::ui {

// A person in front of the screen: ShowModal blocks the calling thread in a
// modal event loop until the form unloads, by its own logic or by the
// window's close box.
class KORVIX_EXPORT QtToolkit final : public Toolkit {
 public:
  QtToolkit();
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;
  ~QtToolkit() override;

  bool ShowModal(Form& form) override;
  int MessageBox(std::string_view prompt, int flags, std::string_view title) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The same windows with a scripted user (korvix/ui/scripting.h), for tests
// and unattended hosts; run it offscreen with QT_QPA_PLATFORM=offscreen.
//
// A script acts through the real widgets, with the mouse and keyboard input
// that a person's acts produce, and reads back what the widgets show. Each
// modal show takes the next script queued under the form's name; a script
// that ends while its form is still shown closes it by the window's close
// box; without a script the window closes that way at once. A message box
// records prompt, flags and title, then is answered by clicking the button
// of the next queued answer, or with an empty queue by pressing Enter, which
// takes its default button. A queued answer that the box has no button for
// closes the box and is returned as it is.
class KORVIX_EXPORT ScriptedQtToolkit final : public ScriptedToolkit {
 public:
  ScriptedQtToolkit();
  ScriptedQtToolkit(const ScriptedQtToolkit&) = delete;
  ScriptedQtToolkit& operator=(const ScriptedQtToolkit&) = delete;
  ~ScriptedQtToolkit() override;

  bool ShowModal(Form& form) override;
  int MessageBox(std::string_view prompt, int flags, std::string_view title) override;

  void QueueScript(std::string_view form_name, Script script) override;
  void QueueAnswer(int result) override;
  std::size_t pending_scripts(std::string_view form_name) const override;
  std::size_t pending_answers() const override;
  const std::vector<MessageBoxRecord>& message_boxes() const override;

  // Saves a picture of the innermost window shown, as it is drawn now, to
  // the PNG file `path`. Returns false when no window is shown or the file
  // cannot be written. For use from a script.
  bool SaveWindowImage(std::string_view path) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace korvix::ui

#endif  // KORVIX_UI_QT_TOOLKIT_H_
