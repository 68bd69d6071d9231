// The simulated board's file on any bytes: accepted, or refused with the number of a line of it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/SimulatedBoard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::SimulatedBoard board;
  base::Failure failure;
  if (board.Parse(text, "/nonexistent", &failure)) return 0;
  const std::string error = failure.Text();
  const long line = std::strtol(error.c_str(), nullptr, 10);
  const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n')) + 1;
  if (line < 1 || line > lines || error.find(": ") == std::string::npos) std::abort();
  return 0;
}
