#pragma once
// Pictures of windows as build artefacts, for a person to look at. The folder is named by the
// environment variable CONFIGURATOR_ARTIFACTS (scripts/wine-tests.sh sets it and turns the
// bitmaps into PNG files); without it nothing is saved.
#include <windows.h>

#include <string>

// Saves the screen area of the window, as it is shown, to <folder>\<name>.bmp.
bool SaveScreenshot(HWND window, const std::wstring& name);
