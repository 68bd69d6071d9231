// The POSIX program has no launcher, and the hive store commits its writes itself.
#include "platform/Launcher.h"

namespace platform {

long FlushRegistryKey(const std::u16string&) { return kSuccess; }

}  // namespace platform
