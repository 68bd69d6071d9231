#include "framework/portable/terminal/KeyHelp.h"

namespace portable::terminal {

std::u16string KeyHelpText() {
  return u"Keys in the dialogs (the last line of the screen lists those of the dialog in front):\n"
         u"  Tab, Shift+Tab      move to the next or previous control\n"
         u"  Space               press the focused button, tick or clear a check box,\n"
         u"                      open the focused drop-down list\n"
         u"  Up, Down, Home, End choose in the focused drop-down list; in an open list,\n"
         u"                      move, Enter picks the entry, Tab picks it and moves on,\n"
         u"                      Escape closes the list\n"
         u"  F4, Alt+Down/Up     open the focused drop-down list (in an open one: pick)\n"
         u"  Enter               press the focused button, else the default button [< OK >]\n"
         u"  Escape              cancel the dialog (Exit in the main dialog)\n"
         u"  F10, Alt+Space      the window menu: About Configurator..., Close\n"
         u"  F2                  the whole of the status line's message\n"
         u"  Ctrl+L              redraw the screen\n"
         u"  The mouse clicks buttons, check boxes, lists and the [-] window menu box\n"
         u"  where the terminal reports it. The status line above the keys shows the\n"
         u"  display driver's last reload of its settings (the whole text in driver.log).\n";
}

}  // namespace portable::terminal
