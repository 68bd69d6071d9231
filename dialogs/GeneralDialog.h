#pragma once
// CGeneralDialog: placeholder declaration so that the main dialog compiles; its owner fills it in.
#include <string>

#include "framework/Dialog.h"

class CGeneralDialog : public CDialog {
 public:
  CGeneralDialog(CWnd* parent, std::u16string deviceName, std::u16string currentDeviceKeyPath,
      std::u16string deviceKeyPath);
};
