#pragma once
// The hive store's text conversions are the shared ones.
#include "platform/Text.h"
