#pragma once
// The About box as a person sees it, on either windowing layer. Each scenario expects the
// program to be showing (or about to show) the About box, checks it and closes it.
#include "tests/support/User.h"

// Caption, version line and notice; OK closes it.
void AboutBoxClosesWithOk(User& user);
// The same box closes with the Escape key.
void AboutBoxClosesWithEscape(User& user);
