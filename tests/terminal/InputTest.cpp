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
  InputKind key;
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
  ExpectKeys({{"[A", InputKind::Up},
              {"[B", InputKind::Down},
              {"[C", InputKind::Right},
              {"[D", InputKind::Left},
              {"OA", InputKind::Up},
              {"OB", InputKind::Down},
              {"OC", InputKind::Right},
              {"OD", InputKind::Left},
              {"[1;2B", InputKind::Down},
              {"[1;5A", InputKind::Up},
              {"[1;6C", InputKind::Right},
              {"[1;2D", InputKind::Left},
              {"O5B", InputKind::Down}});
}

// Alt+Down, as xterm and tmux send it, opens a drop-down list; so does Alt+Up, as on Windows.
TEST(EscapeSequences, AltArrows) {
  ExpectKeys({{"[1;3B", InputKind::OpenList},
              {"[1;3A", InputKind::OpenList},
              {"[1;4B", InputKind::OpenList},
              {"[1;7B", InputKind::OpenList},
              {"[1;8A", InputKind::OpenList},
              {"O3B", InputKind::OpenList},
              {"[1;3C", InputKind::None},
              {"[1;3D", InputKind::None}});
}

TEST(EscapeSequences, HomeEndAndPages) {
  ExpectKeys({{"[H", InputKind::Home},
              {"[F", InputKind::End},
              {"OH", InputKind::Home},
              {"OF", InputKind::End},
              {"[1~", InputKind::Home},
              {"[4~", InputKind::End},
              {"[7~", InputKind::Home},
              {"[8~", InputKind::End},
              {"[1;5H", InputKind::Home},
              {"[1;2F", InputKind::End},
              {"[5~", InputKind::PageUp},
              {"[6~", InputKind::PageDown},
              {"[5;5~", InputKind::PageUp},
              {"[6;2~", InputKind::PageDown},
              {"[1;3H", InputKind::None},
              {"[2~", InputKind::None},
              {"[3~", InputKind::None}});
}

// F2 (the whole message), F4 (open the list) and F10 (the window menu) in xterm's, VT220's and
// the Linux console's forms; other function keys and modified ones do nothing.
TEST(EscapeSequences, FunctionKeys) {
  ExpectKeys({{"OQ", InputKind::ShowMessage},
              {"OS", InputKind::OpenList},
              {"[12~", InputKind::ShowMessage},
              {"[14~", InputKind::OpenList},
              {"[21~", InputKind::WindowMenu},
              {"[[B", InputKind::ShowMessage},
              {"[[D", InputKind::OpenList},
              {"[1Q", InputKind::ShowMessage},
              {"OP", InputKind::None},
              {"[11~", InputKind::None},
              {"[[A", InputKind::None},
              {"[[E", InputKind::None},
              {"[15~", InputKind::None},
              {"[20~", InputKind::None},
              {"[24~", InputKind::None},
              {"[1;2S", InputKind::None},
              {"[1;3S", InputKind::None},
              {"[21;2~", InputKind::None},
              {"O2S", InputKind::None}});
}

TEST(EscapeSequences, OtherKeys) {
  ExpectKeys({{"[Z", InputKind::BackTab},
              {"OM", InputKind::Enter},
              {"[M", InputKind::None},
              {"[<0;10;5M", InputKind::None},
              {"[200~", InputKind::None},
              {"[E", InputKind::None},
              {"OE", InputKind::None},
              {"[", InputKind::None},
              {"", InputKind::None},
              {"x", InputKind::None},
              {"[99999999999B", InputKind::None},
              {"[1;3;5;7;9Q", InputKind::None}});
}

// Terminals that send Alt as an Escape before the key: Escape, Escape, then the key's sequence.
TEST(EscapeSequences, AltAsEscapeFirst) {
  ExpectKeys({{"\x1b[B", InputKind::OpenList},
              {"\x1bOB", InputKind::OpenList},
              {"\x1bOA", InputKind::OpenList},
              {"\x1b[C", InputKind::None},
              {"\x1b[21~", InputKind::None},
              {" ", InputKind::WindowMenu},
              {"\x1b ", InputKind::WindowMenu}});
  EXPECT_EQ(WithAlt({InputKind::Down}).key, InputKind::OpenList);
  EXPECT_EQ(WithAlt({InputKind::Up}).key, InputKind::OpenList);
  EXPECT_EQ(WithAlt({InputKind::Tab}).key, InputKind::None);
}

// ncurses names the keys with modifiers that the terminal description lists.
TEST(EscapeSequences, ExtendedKeyNames) {
  const struct {
    const char* name;
    InputKind key;
  } rows[] = {{"kDN3", InputKind::OpenList},  {"kUP3", InputKind::OpenList}, {"kDN5", InputKind::Down},
              {"kUP2", InputKind::Up},        {"kHOM5", InputKind::Home},    {"kEND2", InputKind::End},
              {"kRIT5", InputKind::Right},    {"kLFT3", InputKind::None},    {"kPRV5", InputKind::PageUp},
              {"kNXT6", InputKind::PageDown}, {"kDC5", InputKind::None},     {"kDN9", InputKind::None},
              {"kDN", InputKind::Down},       {"kxIN", InputKind::None},     {"", InputKind::None}};
  for (const auto& row : rows)
    EXPECT_EQ(static_cast<int>(DecodeKeyName(row.name).key), static_cast<int>(row.key)) << row.name;
}

}  // namespace
