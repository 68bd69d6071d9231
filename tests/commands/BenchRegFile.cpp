// Benchmark of reading profiles (scripts/bench-reg-file.sh): the parser and the import on the
// shapes that once took quadratic time, at sizes up to the 16 MiB a profile may hold, beside
// reading the same bytes from a file and decoding them. Each reports bytes per second, which
// should stay about level as the size grows.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/RegFile.h"
#include "app/TuningCommands.h"
#include "base/Text.h"
#include "platform/Files.h"
#include "tests/commands/ProfileBytes.h"
#include "tests/support/TestAdapter.h"
#include "tests/support/TestServices.h"

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char kKey[] =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Video\\{00000000-0000-0000-0000-000000000000}"
    "\\0000]\r\n";

// A profile of about size bytes, of one shape.
enum class Shape {
  kContinuations,
  kLongHexLine,
  kLongText,
  kManyKeys,
  kManyValues,
  kEmptyLines,
  kManyAdapters
};

std::string Profile(Shape shape, std::size_t size) {
  size -= size / 64;  // under the 16 MiB limit at the largest size
  std::string text = kHeader;
  text.reserve(size + 256);
  switch (shape) {
    case Shape::kContinuations:  // one value continued over every line
      text += kKey;
      text += "\"v\"=hex:00,\\\r\n";
      while (text.size() < size) text += "  00,01,02,\\\r\n";
      text += "  ff\r\n";
      break;
    case Shape::kLongHexLine:
      text += kKey;
      text += "\"v\"=hex:00";
      while (text.size() < size) text += ",5a";
      text += "\r\n";
      break;
    case Shape::kLongText:
      text += kKey;
      text += "\"v\"=\"";
      text.append(size, 'x');
      text += "\"\r\n";
      break;
    case Shape::kManyKeys:
      for (int i = 0; text.size() < size; ++i)
        text += "[HKEY_LOCAL_MACHINE\\SYSTEM\\Other\\Key" + std::to_string(i) + "]\r\n";
      break;
    case Shape::kManyValues:
      text += kKey;
      for (int i = 0; text.size() < size; ++i)
        text += "\"Value" + std::to_string(i) + "\"=dword:00000001\r\n";
      break;
    case Shape::kEmptyLines:
      text += kKey;
      text.append(size, '\n');
      break;
    case Shape::kManyAdapters:  // a key of its own for each adapter, none of them the board's
      for (int i = 0; text.size() < size; ++i) {
        char guid[40];
        std::snprintf(guid, sizeof guid, "{%08X-0000-0000-0000-000000000000}", i);
        text += std::string("[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Video\\") + guid +
                "\\0000]\r\n";
      }
      break;
  }
  return text;
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Utf16Bytes(const std::string& text) {
  return Utf16WithBom(base::Utf16FromUtf8(text));
}

void Parse(benchmark::State& state, Shape shape, bool utf16) {
  const std::string text = Profile(shape, static_cast<std::size_t>(state.range(0)));
  const std::vector<std::uint8_t> bytes = utf16 ? Utf16Bytes(text) : Bytes(text);
  for (auto _ : state) {
    std::vector<RegFileKey> keys;
    int errorLine = 0;
    std::u16string error;
    const bool parsed = ParseRegFile(bytes, &keys, &errorLine, &error);
    benchmark::DoNotOptimize(parsed);
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes.size()));
}

std::filesystem::path WriteTemporary(const std::string& text) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "bench-reg-file.reg";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// What the parse is measured against: reading the file's bytes.
void ReadFile(benchmark::State& state) {
  const std::string text = Profile(Shape::kManyValues, static_cast<std::size_t>(state.range(0)));
  const std::filesystem::path path = WriteTemporary(text);
  for (auto _ : state) {
    std::vector<std::uint8_t> bytes;
    benchmark::DoNotOptimize(platform::ReadWholeFile(path.u16string(), 16u << 20, &bytes));
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

// The least a parse must do: the bytes decoded into UTF-16 text.
void Decode(benchmark::State& state) {
  const std::string text = Profile(Shape::kManyValues, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(base::Utf16FromUtf8(text).data());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

// The whole import of a profile on the in-memory registry's adapter: read, parse, the adapters'
// keys told apart (refused here: none is the board's, so nothing is written).
void Import(benchmark::State& state, Shape shape) {
  const std::string text = Profile(shape, static_cast<std::size_t>(state.range(0)));
  const std::filesystem::path path = WriteTemporary(text);
  TestServices services;
  services.registry.CreateKey(testadapter::kDriverKey);
  services.registry.CreateKey(testadapter::kDeviceKey);
  services.registry.SetString(testadapter::kDeviceKey, u"HardwareInformation.ChipType", u"QEL 700");
  TuningCommands commands;
  commands.importPath = path.u16string();
  commands.noRefresh = true;
  for (auto _ : state) benchmark::DoNotOptimize(RunTuningCommands(commands, testadapter::kHandOff).status);
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

// 256 KiB to 16 MiB, by fours.
void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->RangeMultiplier(4)->Range(256 << 10, 16 << 20)->Unit(benchmark::kMillisecond);
}

BENCHMARK(ReadFile)->Apply(Sizes);
BENCHMARK(Decode)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, continuations, Shape::kContinuations, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, continuations_utf16, Shape::kContinuations, true)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, long_hex_line, Shape::kLongHexLine, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, long_text, Shape::kLongText, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, many_keys, Shape::kManyKeys, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, many_values, Shape::kManyValues, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, many_values_utf16, Shape::kManyValues, true)->Apply(Sizes);
BENCHMARK_CAPTURE(Parse, empty_lines, Shape::kEmptyLines, false)->Apply(Sizes);
BENCHMARK_CAPTURE(Import, many_values, Shape::kManyValues)->Apply(Sizes);
BENCHMARK_CAPTURE(Import, many_adapters, Shape::kManyAdapters)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
