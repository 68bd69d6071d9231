#pragma once
// The terminal front end of the portable windowing layer: every modal loop draws the stack of
// open windows with ncurses and turns keys and mouse clicks into the model's actions.
//
// The terminal is taken over at the first modal loop and given back when the outermost one
// returns. Without a usable terminal, or when the input ends, each dialog is cancelled
// (IDCANCEL) so that the program ends without writing anything.
#include <functional>
#include <string>

#include "framework/portable/Model.h"

namespace portable::terminal {

class TerminalFrontEnd : public FrontEnd {
 public:
  TerminalFrontEnd();
  ~TerminalFrontEnd() override;
  TerminalFrontEnd(const TerminalFrontEnd&) = delete;
  TerminalFrontEnd& operator=(const TerminalFrontEnd&) = delete;

  // The text of the status line (the last line), asked for at every redraw.
  void SetStatusProvider(std::function<std::u16string()> provider) { m_status = std::move(provider); }

  void RunModal(DialogModel& dialog) override;
  // True once a modal loop found no usable terminal (and so cancelled its dialog unseen).
  bool Failed() const { return m_failed; }

 private:
  bool Begin();
  void End();

  std::function<std::u16string()> m_status;
  void* m_screen = nullptr;  // ncurses SCREEN
  int m_depth = 0;
  bool m_failed = false;
};

}  // namespace portable::terminal
