#include "framework/portable/terminal/Input.h"

#include <vector>

namespace portable::terminal {
namespace {

enum Modifier { kShift = 1, kAlt = 2, kCtrl = 4 };

// A key with its modifiers as the dialogs take it: Alt+Up and Alt+Down open (or pick from) a
// drop-down list as on Windows, Alt+Space opens the window menu; Shift and Ctrl leave a key as
// it is; any other key with Alt, and a function key with any modifier, does nothing.
InputEvent WithModifiers(InputKind key, int modifiers, bool functionKey) {
  if (key == InputKind::None) return {};
  if ((modifiers & kAlt) != 0) {
    if (key == InputKind::Up || key == InputKind::Down) return {InputKind::OpenList};
    if (key == InputKind::Space) return {InputKind::WindowMenu};
    return {};
  }
  if (functionKey && modifiers != 0) return {};
  return {key};
}

InputKind FunctionKey(int number) {
  switch (number) {
    case 2:
      return InputKind::ShowMessage;
    case 4:
      return InputKind::OpenList;
    case 10:
      return InputKind::WindowMenu;
    default:
      return InputKind::None;
  }
}

// The final letter of a CSI or SS3 sequence.
InputKind LetterKey(char letter, bool* functionKey) {
  *functionKey = false;
  switch (letter) {
    case 'A':
      return InputKind::Up;
    case 'B':
      return InputKind::Down;
    case 'C':
      return InputKind::Right;
    case 'D':
      return InputKind::Left;
    case 'H':
      return InputKind::Home;
    case 'F':
      return InputKind::End;
    case 'Z':
      return InputKind::BackTab;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      *functionKey = true;
      return FunctionKey(letter - 'P' + 1);
    default:
      return InputKind::None;
  }
}

// The number of a "CSI number ~" sequence (VT220 and xterm).
InputKind TildeKey(int number, bool* functionKey) {
  *functionKey = false;
  switch (number) {
    case 1:
    case 7:
      return InputKind::Home;
    case 4:
    case 8:
      return InputKind::End;
    case 5:
      return InputKind::PageUp;
    case 6:
      return InputKind::PageDown;
    default:
      break;
  }
  // F1-F5 are 11-15, F6-F10 17-21, F11 and F12 23 and 24.
  static const int kFunctionCodes[] = {11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 23, 24};
  for (int n = 0; n < 12; ++n)
    if (kFunctionCodes[n] == number) {
      *functionKey = true;
      return FunctionKey(n + 1);
    }
  return InputKind::None;
}

// The modifiers of an xterm modifier parameter: 1 + (Shift 1, Alt 2, Ctrl 4).
int Modifiers(int parameter) { return parameter >= 2 && parameter <= 16 ? (parameter - 1) & 7 : 0; }

}  // namespace

InputEvent DecodeEscape(std::string_view sequence) {
  int modifiers = 0;
  if (!sequence.empty() && sequence.front() == '\x1b') {  // Escape first: the key with Alt
    modifiers = kAlt;
    sequence.remove_prefix(1);
  }
  if (sequence == " ") return WithModifiers(InputKind::Space, modifiers | kAlt, false);
  if (sequence.size() < 2 || (sequence.front() != '[' && sequence.front() != 'O')) return {};
  const bool ss3 = sequence.front() == 'O';
  sequence.remove_prefix(1);
  bool functionKey = false;
  // The Linux console's F1-F5: "[[A" to "[[E".
  if (!ss3 && sequence.size() == 2 && sequence.front() == '[') {
    const char letter = sequence[1];
    if (letter < 'A' || letter > 'E') return {};
    return WithModifiers(FunctionKey(letter - 'A' + 1), modifiers, true);
  }
  // Parameters: numbers separated by ';', then the final character.
  std::vector<int> parameters;
  int number = -1;
  const char final = sequence.back();
  for (char c : sequence.substr(0, sequence.size() - 1)) {
    if (c >= '0' && c <= '9') {
      number = (number < 0 ? 0 : number) * 10 + (c - '0');
      if (number > 1000) return {};
    } else if (c == ';') {
      parameters.push_back(number < 0 ? 1 : number);
      number = -1;
    } else {
      return {};
    }
  }
  if (number >= 0) parameters.push_back(number);
  InputKind key = InputKind::None;
  if (final == '~') {
    if (ss3 || parameters.empty()) return {};
    key = TildeKey(parameters[0], &functionKey);
    if (parameters.size() >= 2) modifiers |= Modifiers(parameters[1]);
  } else {
    key = ss3 && final == 'M' ? InputKind::Enter
                              : LetterKey(final, &functionKey);  // "SS3 M": the keypad's Enter
    // "CSI 1 ; m X" (xterm), or "SS3 m X" (some older terminals).
    if (ss3 && parameters.size() == 1) modifiers |= Modifiers(parameters[0]);
    if (!ss3 && parameters.size() >= 2) modifiers |= Modifiers(parameters[1]);
    if (ss3 && final == 'Z') return {};
  }
  return WithModifiers(key, modifiers, functionKey);
}

InputEvent WithAlt(const InputEvent& key) { return WithModifiers(key.key, kAlt, false); }

InputEvent DecodeKeyName(std::string_view name) {
  static const struct {
    std::string_view name;
    InputKind key;
  } kNames[] = {{"kUP", InputKind::Up},      {"kDN", InputKind::Down},     {"kLFT", InputKind::Left},
                {"kRIT", InputKind::Right},  {"kHOM", InputKind::Home},    {"kEND", InputKind::End},
                {"kPRV", InputKind::PageUp}, {"kNXT", InputKind::PageDown}};
  for (const auto& known : kNames) {
    if (name.substr(0, known.name.size()) != known.name) continue;
    const std::string_view rest = name.substr(known.name.size());
    if (rest.empty()) return {known.key};
    if (rest.size() != 1 || rest[0] < '2' || rest[0] > '8') return {};
    return WithModifiers(known.key, Modifiers(rest[0] - '0'), false);
  }
  return {};
}

}  // namespace portable::terminal
