#pragma once
// The program's compiled resources (the .res file made from res/Configurator.rc), embedded.
#include <cstdint>
#include <span>

namespace portable {
std::span<const std::uint8_t> CompiledResources();
}
