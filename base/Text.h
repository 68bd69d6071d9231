#pragma once
// Text conversions at the edges: libhivex, file names, the terminal and text files speak UTF-8,
// the program speaks UTF-16; registry names compare as Windows compares them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// The code point that starts at text[at], moving at past it (a surrogate pair is one code point);
// an unpaired surrogate gives U+FFFD.
char32_t NextCodePoint(std::u16string_view text, std::size_t& at);
std::u32string CodePoints(std::u16string_view text);
// Appends the UTF-8 bytes of one code point, as given.
void AppendUtf8(std::string& out, char32_t c);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD. ok (if given) is false when one did.
std::string Utf8FromUtf16(std::u16string_view text, bool* ok = nullptr);
// UTF-8 to UTF-16; an invalid sequence becomes U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);

// Registry names are case-insensitive the way Windows makes them: each UTF-16 unit upper-cased
// on its own (ASCII, Latin-1, Greek and Cyrillic here, which covers the names met in practice).
char16_t UpcaseUnit(char16_t unit);
// The other side of the same pairs: the lower-case letter of an upper-case one UpcaseUnit knows.
char16_t DowncaseUnit(char16_t unit);
bool NamesEqual(std::u16string_view a, std::u16string_view b);

// UTF-16LE bytes, as a driver stores text in REG_SZ or REG_BINARY values, up to the first null
// unit or the end; an odd last byte is ignored.
std::u16string TextFromUtf16Bytes(const unsigned char* data, std::size_t size);
// Every unit of UTF-16LE bytes, null units included; an odd last byte is ignored.
std::u16string Utf16FromBytes(const std::uint8_t* data, std::size_t size);
// The UTF-16LE bytes of text, least significant byte of each unit first, as the registry stores
// a REG_SZ value: with the terminating null unit unless terminated is false.
std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text, bool terminated = true);

// A number from 1 to most that is the whole text, in at most four decimal digits (a count the user
// gives on a command line); none otherwise.
std::optional<int> NumberFromOne(std::u16string_view text, int most);

// A number in decimal digits, for the texts the user reads.
std::u16string DecimalText(std::int64_t number);
// The texts one after another, separated by ", ".
std::u16string JoinedText(const std::vector<std::u16string>& texts);

}  // namespace base
