// The escape sequences that terminals send for the keys of the dialogs, one test per family:
// arrows (with Shift, Alt, Ctrl), Home/End, Page Up/Down, function keys, keys with Alt sent as
// an Escape first, and ncurses's extended key names. None of them may arrive as typed text.
#include <gtest/gtest.h>

#include <string>

#include "framework/portable/terminal/Input.h"

namespace {

using namespace portable::terminal;

struct Row {
  const char* sequence;  // after the Escape
  Key key;
};

void ExpectKeys(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    const InputEvent event = DecodeEscape(row.sequence);
    std::string shown;
    for (char c : std::string(row.sequence)) shown += c == '\x1b' ? std::string("ESC ") : std::string(1, c);
    EXPECT_EQ(static_cast<int>(event.key), static_cast<int>(row.key)) << "ESC " << shown;
  }
}

TEST(EscapeSequences, Arrows) {
  ExpectKeys({{"[A", Key::Up},
              {"[B", Key::Down},
              {"[C", Key::Right},
              {"[D", Key::Left},
              {"OA", Key::Up},
              {"OB", Key::Down},
              {"OC", Key::Right},
              {"OD", Key::Left},
              {"[1;2B", Key::Down},
              {"[1;5A", Key::Up},
              {"[1;6C", Key::Right},
              {"[1;2D", Key::Left},
              {"O5B", Key::Down}});
}

// Alt+Down, as xterm and tmux send it, opens a drop-down list; so does Alt+Up, as on Windows.
TEST(EscapeSequences, AltArrows) {
  ExpectKeys({{"[1;3B", Key::OpenList},
              {"[1;3A", Key::OpenList},
              {"[1;4B", Key::OpenList},
              {"[1;7B", Key::OpenList},
              {"[1;8A", Key::OpenList},
              {"O3B", Key::OpenList},
              {"[1;3C", Key::None},
              {"[1;3D", Key::None}});
}

TEST(EscapeSequences, HomeEndAndPages) {
  ExpectKeys({{"[H", Key::Home},
              {"[F", Key::End},
              {"OH", Key::Home},
              {"OF", Key::End},
              {"[1~", Key::Home},
              {"[4~", Key::End},
              {"[7~", Key::Home},
              {"[8~", Key::End},
              {"[1;5H", Key::Home},
              {"[1;2F", Key::End},
              {"[5~", Key::PageUp},
              {"[6~", Key::PageDown},
              {"[5;5~", Key::PageUp},
              {"[6;2~", Key::PageDown},
              {"[1;3H", Key::None},
              {"[2~", Key::None},
              {"[3~", Key::None}});
}

// F2 (the whole message), F4 (open the list) and F10 (the window menu) in xterm's, VT220's and
// the Linux console's forms; other function keys and modified ones do nothing.
TEST(EscapeSequences, FunctionKeys) {
  ExpectKeys({{"OQ", Key::ShowMessage},
              {"OS", Key::OpenList},
              {"[12~", Key::ShowMessage},
              {"[14~", Key::OpenList},
              {"[21~", Key::WindowMenu},
              {"[[B", Key::ShowMessage},
              {"[[D", Key::OpenList},
              {"[1Q", Key::ShowMessage},
              {"OP", Key::None},
              {"[11~", Key::None},
              {"[[A", Key::None},
              {"[[E", Key::None},
              {"[15~", Key::None},
              {"[20~", Key::None},
              {"[24~", Key::None},
              {"[1;2S", Key::None},
              {"[1;3S", Key::None},
              {"[21;2~", Key::None},
              {"O2S", Key::None}});
}

TEST(EscapeSequences, OtherKeys) {
  ExpectKeys({{"[Z", Key::BackTab},
              {"OM", Key::Enter},
              {"[M", Key::None},
              {"[<0;10;5M", Key::None},
              {"[200~", Key::None},
              {"[E", Key::None},
              {"OE", Key::None},
              {"[", Key::None},
              {"", Key::None},
              {"x", Key::None},
              {"[99999999999B", Key::None},
              {"[1;3;5;7;9Q", Key::None}});
}

// Terminals that send Alt as an Escape before the key: Escape, Escape, then the key's sequence.
TEST(EscapeSequences, AltAsEscapeFirst) {
  ExpectKeys({{"\x1b[B", Key::OpenList},
              {"\x1bOB", Key::OpenList},
              {"\x1bOA", Key::OpenList},
              {"\x1b[C", Key::None},
              {"\x1b[21~", Key::None},
              {" ", Key::WindowMenu},
              {"\x1b ", Key::WindowMenu}});
  EXPECT_EQ(WithAlt({Key::Down}).key, Key::OpenList);
  EXPECT_EQ(WithAlt({Key::Up}).key, Key::OpenList);
  EXPECT_EQ(WithAlt({Key::Tab}).key, Key::None);
}

// ncurses names the keys with modifiers that the terminal description lists.
TEST(EscapeSequences, ExtendedKeyNames) {
  const struct {
    const char* name;
    Key key;
  } rows[] = {{"kDN3", Key::OpenList}, {"kUP3", Key::OpenList},  {"kDN5", Key::Down},   {"kUP2", Key::Up},
              {"kHOM5", Key::Home},    {"kEND2", Key::End},      {"kRIT5", Key::Right}, {"kLFT3", Key::None},
              {"kPRV5", Key::PageUp},  {"kNXT6", Key::PageDown}, {"kDC5", Key::None},   {"kDN9", Key::None},
              {"kDN", Key::Down},      {"kxIN", Key::None},      {"", Key::None}};
  for (const auto& row : rows)
    EXPECT_EQ(static_cast<int>(DecodeKeyName(row.name).key), static_cast<int>(row.key)) << row.name;
}

}  // namespace
