#pragma once
// The platform's text conversions are the base library's.
#include "base/Text.h"

namespace platform {

using base::NamesEqual;
using base::TextFromUtf16Bytes;
using base::UpcaseUnit;
using base::Utf16FromUtf8;
using base::Utf8FromUtf16;

}  // namespace platform
