// The application's layer services on the portable layer.
#include "framework/WinApp.h"

#include <cstdio>

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

bool AfxWriteStandardStream(const std::u16string& text, bool standardError) {
  std::FILE* stream = standardError ? stderr : stdout;
  const std::string utf8 = base::Utf8FromUtf16(text);
  return std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size() && std::fflush(stream) == 0;
}
