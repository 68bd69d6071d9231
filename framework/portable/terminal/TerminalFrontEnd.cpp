#include "framework/portable/terminal/TerminalFrontEnd.h"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/Types.h"
#include "framework/portable/terminal/BuiltinTerminals.h"
#include "framework/portable/terminal/Canvas.h"
#include "framework/portable/terminal/DialogScreen.h"
#include "framework/portable/terminal/Input.h"
#include "framework/portable/terminal/Text.h"

// Last: curses defines macros with common names.
#include <curses.h>

namespace portable::terminal {
namespace {

constexpr int kInputGone = 64;  // reads in a row that found no input: the terminal has gone

const cchar_t* BoxCharacter(char32_t ch) {
  switch (ch) {
    case kHorizontal:
      return WACS_HLINE;
    case kVertical:
      return WACS_VLINE;
    case kTopLeft:
      return WACS_ULCORNER;
    case kTopRight:
      return WACS_URCORNER;
    case kBottomLeft:
      return WACS_LLCORNER;
    case kBottomRight:
      return WACS_LRCORNER;
    case kDoubleHorizontal:
      return WACS_D_HLINE;
    case kDoubleVertical:
      return WACS_D_VLINE;
    case kDoubleTopLeft:
      return WACS_D_ULCORNER;
    case kDoubleTopRight:
      return WACS_D_URCORNER;
    case kDoubleBottomLeft:
      return WACS_D_LLCORNER;
    case kDoubleBottomRight:
      return WACS_D_LRCORNER;
    default:
      return nullptr;
  }
}

attr_t Attributes(std::uint8_t attr) {
  attr_t a = A_NORMAL;
  if (attr & kBold) a |= A_BOLD;
  if (attr & kReverse) a |= A_REVERSE;
  if (attr & kDim) a |= A_DIM;
  if (attr & kUnderline) a |= A_UNDERLINE;
  return a;
}

void Show(const Canvas& canvas, int cursorX, int cursorY, bool utf8) {
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) {
      const Cell& cell = canvas.At(x, y);
      attrset(Attributes(cell.attr));
      // Without UTF-8 every cell is plain ASCII: the terminal's line-drawing set cannot be
      // trusted there (the Linux console in UTF-8 mode ignores its switch, and letters show).
      const cchar_t* box = utf8 ? BoxCharacter(cell.ch) : nullptr;
      if (box != nullptr) {
        mvadd_wch(y, x, box);
        continue;
      }
      wchar_t text[2] = {static_cast<wchar_t>(utf8 ? cell.ch : PlainCharacter(cell.ch)), 0};
      cchar_t c;
      setcchar(&c, text, Attributes(cell.attr), 0, nullptr);
      mvadd_wch(y, x, &c);  // the last cell of the screen reports an error, yet is drawn
    }
  attrset(A_NORMAL);
  if (cursorX >= 0 && cursorY >= 0 && cursorX < canvas.Width() && cursorY < canvas.Height()) {
    move(cursorY, cursorX);
    curs_set(1);
  } else {
    curs_set(0);
  }
  refresh();
}

InputEvent FromKeyCode(wint_t code) {
  switch (code) {
    case KEY_UP:
      return {InputKind::Up};
    case KEY_DOWN:
      return {InputKind::Down};
    case KEY_LEFT:
      return {InputKind::Left};
    case KEY_RIGHT:
      return {InputKind::Right};
    case KEY_HOME:
      return {InputKind::Home};
    case KEY_END:
      return {InputKind::End};
    case KEY_PPAGE:
      return {InputKind::PageUp};
    case KEY_NPAGE:
      return {InputKind::PageDown};
    case KEY_BTAB:
      return {InputKind::BackTab};
    case KEY_ENTER:
      return {InputKind::Enter};
    case KEY_RESIZE:
      return {InputKind::Redraw};
    case KEY_MOUSE: {
      MEVENT mouse;
      if (getmouse(&mouse) == OK && (mouse.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) != 0)
        return {InputKind::Click, 0, mouse.x, mouse.y};
      return {};
    }
    default:
      if (code == static_cast<wint_t>(KEY_F(10))) return {InputKind::WindowMenu};
      if (code == static_cast<wint_t>(KEY_F(4))) return {InputKind::OpenList};
      if (code == static_cast<wint_t>(KEY_F(2))) return {InputKind::ShowMessage};
      // Keys with modifiers that the terminal description names as extended keys ("kDN3").
      if (code > KEY_MAX) {
        const char* name = keyname(static_cast<int>(code));
        if (name != nullptr) return DecodeKeyName(name);
      }
      return {};
  }
}

// The rest of an escape sequence that the terminal description does not name (a terminal
// other than TERM says), read whole so that none of it arrives as typed characters.
std::string ReadSequence(char introducer) {
  std::string body(1, introducer);
  wint_t c = 0;
  while (body.size() < 16 && get_wch(&c) == OK) {
    body.push_back(static_cast<char>(c));
    // "[[A": the Linux console's F1 has a second bracket before its final letter.
    if (body == "[[") continue;
    if (c >= 0x40 && c <= 0x7E) break;
  }
  // An X10 mouse report that ncurses did not take: three bytes of button and place follow.
  if (body == "[M")
    for (int n = 0; n < 3 && get_wch(&c) != ERR; ++n) {
    }
  return body;
}

// One event; gone is set when the input has ended.
InputEvent ReadEvent(bool& gone) {
  wint_t code = 0;
  int errors = 0;
  int kind = ERR;
  while ((kind = get_wch(&code)) == ERR)
    if (++errors >= kInputGone) {
      gone = true;
      return {};
    }
  if (kind == KEY_CODE_YES) return FromKeyCode(code);
  switch (code) {
    case L'\t':
      return {InputKind::Tab};
    case L'\n':
    case L'\r':
      return {InputKind::Enter};
    case L' ':
      return {InputKind::Space};
    case 3:  // Ctrl+C cancels, like Escape
      return {InputKind::Escape};
    case 12:  // Ctrl+L
      return {InputKind::Redraw};
    case 27: {
      // Escape alone, or Alt+key sent as Escape and the key.
      timeout(40);
      wint_t next = 0;
      const int nextKind = get_wch(&next);
      if (nextKind == ERR) {
        timeout(-1);
        return {InputKind::Escape};
      }
      InputEvent event;
      if (nextKind == KEY_CODE_YES) event = WithAlt(FromKeyCode(next));
      if (nextKind == OK && next == L' ') event = {InputKind::WindowMenu};
      if (nextKind == OK && (next == L'[' || next == L'O'))
        event = DecodeEscape(ReadSequence(static_cast<char>(next)));
      if (nextKind == OK && next == 27) {
        // Escape twice: a key with Alt from a terminal that sends Alt as an Escape first.
        wint_t key = 0;
        const int keyKind = get_wch(&key);
        if (keyKind == KEY_CODE_YES) event = WithAlt(FromKeyCode(key));
        if (keyKind == OK && (key == L'[' || key == L'O'))
          event = DecodeEscape("\x1b" + ReadSequence(static_cast<char>(key)));
      }
      timeout(-1);
      return event;
    }
    default:
      if (code >= 0x20 && code != 0x7F) return {InputKind::Char, static_cast<char32_t>(code)};
      return {};
  }
}

bool Utf8Locale() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

}  // namespace

TerminalFrontEnd::TerminalFrontEnd() = default;

TerminalFrontEnd::~TerminalFrontEnd() {
  if (m_screen == nullptr) return;
  if (!isendwin()) endwin();
  delscreen(static_cast<SCREEN*>(m_screen));
}

bool TerminalFrontEnd::Begin() {
  if (m_failed) return false;
  if (m_screen != nullptr) {
    if (isendwin()) refresh();
    return true;
  }
  if (isatty(STDIN_FILENO) == 0 || isatty(STDOUT_FILENO) == 0) {
    std::fputs("configurator: the dialogs need a terminal on standard input and output\n", stderr);
    m_failed = true;
    return false;
  }
  std::setlocale(LC_CTYPE, "");
  SCREEN* screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    // No description of this terminal on this system (a live system may have no terminfo
    // database at all): draw with the one built in for its kind.
    const BuiltinTerminfo builtin;
    const char* term = std::getenv("TERM");
    if (builtin.Failure().empty())
      screen = newterm(BuiltinTerminalName(term != nullptr ? term : ""), stdout, stdin);
    if (screen == nullptr) {
      std::fprintf(
          stderr, "configurator: this terminal type (TERM) is not known, and its built-in descriptions %s\n",
          builtin.Failure().empty() ? "failed too" : ("cannot be used: " + builtin.Failure()).c_str());
      m_failed = true;
      return false;
    }
  }
  m_screen = screen;
  set_term(screen);
  raw();
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
  mouseinterval(0);
  return true;
}

void TerminalFrontEnd::End() {
  if (m_screen != nullptr && !isendwin()) endwin();
}

void TerminalFrontEnd::RunModal(DialogModel& dialog) {
  if (!Begin()) {
    dialog.ended = true;
    dialog.result = IDCANCEL;
    return;
  }
  ++m_depth;
  if (dialog.focus < 0) dialog.FocusFirst();
  const bool utf8 = Utf8Locale();
  DialogScreen screen(dialog);
  bool gone = false;
  while (!dialog.ended) {
    int height = 0, width = 0;
    getmaxyx(stdscr, height, width);
    Canvas canvas(width, height);
    screen.Render(canvas, OpenDialogs(), m_status ? m_status() : std::u16string());
    Show(canvas, screen.CursorX(), screen.CursorY(), utf8);
    const InputEvent event = ReadEvent(gone);
    if (gone) {
      // Nobody is there to answer: cancel, which writes nothing.
      dialog.PressEscape();
      if (!dialog.ended) {
        dialog.ended = true;
        dialog.result = IDCANCEL;
      }
      break;
    }
    if (event.key == InputKind::Redraw) clearok(curscr, TRUE);
    screen.Handle(event);
  }
  if (--m_depth == 0) End();
}

}  // namespace portable::terminal
