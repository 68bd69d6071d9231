#pragma once
// What the two switch parsers (app/WindowsSwitches.cpp, app/PosixSwitches.cpp) share: the one
// table of switches and the collection of what a command line gave. Each parser is a file of
// its own, so that a program links only the one it calls.
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

#include "app/Switches.h"

// One row of the table: a switch, its spellings in both styles, and what it takes.
struct SwitchRow {
  SwitchId id;
  std::u16string_view windowsName;  // without its "/"; empty: the Windows programs have no such switch
  std::u16string_view posixName;
  std::u16string_view posixShort;  // a one-letter spelling, or empty
  std::u16string_view value;       // what its value is, for the messages; empty: it takes none
  bool common;                     // every program takes it; otherwise the program names it
  bool scripting;                  // it runs the program without the dialogs
};

std::span<const SwitchRow> SwitchTable();

// Whether the switch may be given without its value (a reset of every setting).
bool TakesNoValueToo(const SwitchRow& row);

// A value of a set switch names a setting before its "=".
bool IsNameAndValue(std::u16string_view value);

class SwitchParser {
 public:
  SwitchParser() = default;
  // The program's own switches; the list must outlive the parser.
  explicit SwitchParser(std::initializer_list<SwitchId> programSwitches)
      : m_programSwitches(programSwitches) {}

  // Whether the program takes the switch.
  bool Takes(const SwitchRow& row) const;
  // A problem, its message made of these parts.
  void Problem(std::initializer_list<std::u16string_view> parts, bool unknown = false);
  void Given(const SwitchRow& row, std::u16string_view value, std::size_t argument, bool attached);
  void Operand(const std::u16string& argument) { m_parsed.operands.push_back(argument); }
  ParsedSwitches Result() { return std::move(m_parsed); }

 private:
  std::initializer_list<SwitchId> m_programSwitches;
  ParsedSwitches m_parsed;
};
