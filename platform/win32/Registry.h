#pragma once
// Win32Registry: the system's registry beneath HKEY_LOCAL_MACHINE, through the Reg* calls.
#include "platform/Registry.h"

namespace platform {

class Win32Registry final : public Registry {
 public:
  long Open(std::u16string_view path, std::uint32_t access, RegKey* key) override;
  long Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
             std::uint32_t* size) override;
  long Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
           std::uint32_t size) override;
  long Delete(RegKey key, std::u16string_view name) override;
  long Close(RegKey key) override;
  long Subkeys(RegKey key, std::vector<std::u16string>* names) override;
};

}  // namespace platform
