// The application's layer services on the portable layer.
#include "framework/WinApp.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/Text.h"
#include "framework/portable/Layer.h"

// The icon's resource id stands for the icon; a missing icon is null, as LoadIcon answers.
IconHandle CWinApp::LoadIcon(unsigned id) const {
  if (!portable::ProgramResources().HasIconGroup(static_cast<int>(id))) return nullptr;
  return reinterpret_cast<IconHandle>(static_cast<std::uintptr_t>(id));
}

bool AfxInitCommonControlsEx(std::uint32_t structSize, std::uint32_t classes) {
  (void)structSize;
  (void)classes;
  return true;
}

// Written to the descriptor itself, so that a failure leaves nothing behind in the stream's
// buffer to fail (and be told) again when the program ends.
bool AfxWriteStandardStream(const std::u16string& text, bool standardError, std::u16string* why) {
  std::FILE* stream = standardError ? stderr : stdout;
  const std::string utf8 = base::Utf8FromUtf16(text);
  int error = std::fflush(stream) == 0 ? 0 : errno;  // what went through the stream goes first
  for (std::size_t done = 0; error == 0 && done < utf8.size();) {
    const ssize_t written = ::write(fileno(stream), utf8.data() + done, utf8.size() - done);
    if (written > 0)
      done += static_cast<std::size_t>(written);
    else if (written == 0)
      error = EIO;
    else if (errno != EINTR)
      error = errno;
  }
  if (error == 0) return true;
  if (why != nullptr) *why = base::Utf16FromUtf8(std::strerror(error));
  return false;
}

// The terminal program's caller reads its standard handles, as a console's does.
bool AfxIsConsoleProgram() { return true; }
