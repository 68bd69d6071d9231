// Linked into the statically linked program only. To name a user or group that /etc/passwd or
// /etc/group lacks, its C library would load the running system's name service modules
// (libnss_systemd.so.2, ...), and a module built against another copy of the C library crashes
// the program. Names come from those two files alone; an owner not in them shows as its number.
#include <nss.h>

namespace {

const bool kLocalNamesOnly = [] {
  __nss_configure_lookup("passwd", "files");
  __nss_configure_lookup("group", "files");
  return true;
}();

}  // namespace
