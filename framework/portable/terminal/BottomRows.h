#pragma once
// The rows below the windows, and the view of their whole message. The status line shows the
// latest event, shortened with an ellipsis to one row; the key line shows the keys of what is
// in front and what they do there. F2 opens a box over the windows with the status line's whole
// text, wrapped, until the next key or click. The dialog screen hands it the events first and
// tells it which keys the key line shows.
#include <string>
#include <vector>

#include "framework/portable/terminal/Canvas.h"
#include "framework/portable/terminal/Event.h"
#include "framework/portable/terminal/Popups.h"

namespace portable::terminal {

// The rows below the windows: the status line, then the key line.
inline constexpr int kBottomRows = 2;

class BottomRows {
 public:
  // The view of the status line's whole text (F2), open until the next key or click.
  bool MessageOpen() const { return m_messageOpen; }
  // Takes the events that are its own: F2 opens the message view, and while it is open any key
  // or click closes it and does nothing else. True when the event was taken.
  bool Handle(const InputEvent& event);
  // The status line's text (the latest event), until the next call.
  void SetStatus(const std::u16string& status) { m_status = status; }
  // Its keys: the message view's own while it is open, otherwise F2 while there is a message.
  std::vector<KeyHint> Hints() const;
  // Draws the message view over the middle of area when it is open (it takes the clicks there
  // and hides the cursor), then the status line and the key line with as many of hints as fit
  // on the canvas's last two rows.
  void Draw(Canvas& canvas, const Rect& area, const std::vector<KeyHint>& hints, Drawing drawing) const;

 private:
  void DrawMessage(Canvas& canvas, const Rect& area, Drawing drawing) const;

  bool m_messageOpen = false;
  std::u16string m_status;
};

// The key line's text: each key and what it does, two blanks between them.
std::u16string KeyLine(const std::vector<KeyHint>& hints);

}  // namespace portable::terminal
