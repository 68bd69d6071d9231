#include "framework/portable/terminal/Layout.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <string_view>

#include "framework/portable/terminal/Text.h"

namespace portable::terminal {
namespace {

constexpr std::uint32_t kNoPrefix = 0x80;  // SS_NOPREFIX
constexpr double kColumnDu = 4.0;          // one character of the dialog font is about 4 × 8 units
constexpr double kRowDu = 8.0;
constexpr int kComboClosedDu = 12;  // a drop-down list's closed part; the template's height includes the list

// One side-constraint of the layout: value[to] >= value[from] + gap.
struct Constraint {
  int from, to, gap;
};

// Positions for ordered nodes: each at least its proportional place, never before the node
// before it, and pushed on by the constraints. Constraints whose nodes are not in order are
// dropped, so one pass in order settles them all.
std::vector<int> Solve(const std::vector<double>& keys, const std::vector<Constraint>& constraints,
                       double scale, double rounding) {
  std::vector<int> value(keys.size(), 0);
  std::vector<std::vector<const Constraint*>> into(keys.size());
  for (const Constraint& c : constraints)
    if (c.from < c.to) into[static_cast<std::size_t>(c.to)].push_back(&c);
  for (std::size_t n = 0; n < keys.size(); ++n) {
    int v = scale > 0 ? static_cast<int>(std::floor(keys[n] / scale + rounding)) : 0;
    if (n > 0) v = std::max(v, value[n - 1]);
    for (const Constraint* c : into[n]) v = std::max(v, value[static_cast<std::size_t>(c->from)] + c->gap);
    value[n] = std::max(v, 0);
  }
  return value;
}

// Sorted distinct keys, and a lookup from a key to its node.
struct Nodes {
  std::vector<double> keys;
  void Add(double key) { keys.push_back(key); }
  void Finish() {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  }
  int Of(double key) const {
    return static_cast<int>(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
  }
};

struct Item {
  std::size_t index = 0;
  bool group = false;
  int left = 0, right = 0;  // dialog units
  double key = 0;           // the text line's middle (a group box: its title line)
  double bottomKey = 0;     // a group box's bottom line
  int need = 0;
  int parent = -1;  // the group box (item index) that frames it
  int cluster = -1;
  int row = 0, bottomRow = 0;
};

bool Overlap(int a0, int a1, int b0, int b1) { return a0 < b1 && b0 < a1; }

double TextLineMiddle(const ControlModel& c) {
  switch (c.kind) {
    case ControlKind::Static:
      return c.y + std::min(c.cy, 8) / 2.0;  // statics show their text from the top
    case ControlKind::ComboBox:
      return c.y + std::min(c.cy, kComboClosedDu) / 2.0;
    default:
      return c.y + c.cy / 2.0;
  }
}

std::vector<Item> Items(const DialogModel& dialog) {
  std::vector<Item> items;
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    const ControlModel& c = dialog.controls[i];
    if (!c.visible) continue;
    Item item;
    item.index = i;
    item.group = c.kind == ControlKind::GroupBox;
    item.left = c.x;
    item.right = c.x + std::max(c.cx, 1);
    item.need = ContentWidth(c);
    if (item.group) {
      item.key = c.y + 4.0;  // the title sits on the top line
      item.bottomKey = std::max(c.y + c.cy - 4.0, item.key + 1);
    } else {
      item.key = item.bottomKey = TextLineMiddle(c);
    }
    items.push_back(item);
  }
  // A control belongs to the innermost group box around its text's start.
  for (Item& item : items) {
    int best = -1;
    for (std::size_t g = 0; g < items.size(); ++g) {
      const Item& group = items[g];
      if (!group.group || &group == &item) continue;
      const ControlModel& gc = dialog.controls[group.index];
      const bool inside = item.left >= group.left && item.left < group.right && item.key > gc.y &&
                          item.bottomKey < gc.y + gc.cy && !(item.group && item.right > group.right);
      if (inside && (best < 0 || items[static_cast<std::size_t>(best)].right -
                                         items[static_cast<std::size_t>(best)].left >
                                     group.right - group.left))
        best = static_cast<int>(g);
    }
    item.parent = best;
  }
  return items;
}

// Rows: text lines that face each other across the dialog (a label and its list) share a row
// when their middles are within half a line; every other pair of controls that would stack in
// the same columns gets rows of its own, in template order from the top.
void PlaceRows(std::vector<Item>& items, double scale) {
  const std::size_t n = items.size();
  std::vector<int> cluster(n);
  std::iota(cluster.begin(), cluster.end(), 0);
  auto root = [&](int i) {
    while (cluster[static_cast<std::size_t>(i)] != i) i = cluster[static_cast<std::size_t>(i)];
    return i;
  };
  struct Pair {
    double distance;
    std::size_t a, b;
  };
  std::vector<Pair> pairs;
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = a + 1; b < n; ++b)
      if (!items[a].group && !items[b].group && std::abs(items[a].key - items[b].key) <= 4.0 &&
          items[a].parent == items[b].parent)
        pairs.push_back({std::abs(items[a].key - items[b].key), a, b});
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const Pair& x, const Pair& y) { return x.distance < y.distance; });
  for (const Pair& pair : pairs) {
    const int ra = root(static_cast<int>(pair.a)), rb = root(static_cast<int>(pair.b));
    if (ra == rb) continue;
    bool clash = false;
    for (std::size_t i = 0; i < n && !clash; ++i)
      for (std::size_t j = 0; j < n && !clash; ++j)
        if (root(static_cast<int>(i)) == ra && root(static_cast<int>(j)) == rb)
          clash = Overlap(items[i].left, items[i].right, items[j].left, items[j].right);
    if (!clash) cluster[static_cast<std::size_t>(rb)] = ra;
  }
  // A shared row sits at the highest of its members.
  std::map<int, double> clusterKey;
  for (std::size_t i = 0; i < n; ++i) {
    if (items[i].group) continue;
    const int r = root(static_cast<int>(i));
    auto found = clusterKey.find(r);
    clusterKey[r] = found == clusterKey.end() ? items[i].key : std::min(found->second, items[i].key);
  }
  Nodes nodes;
  std::vector<double> top(n), bottom(n);
  for (std::size_t i = 0; i < n; ++i) {
    top[i] = items[i].group ? items[i].key : clusterKey[root(static_cast<int>(i))];
    bottom[i] = items[i].group ? items[i].bottomKey : top[i];
    items[i].cluster = root(static_cast<int>(i));
    nodes.Add(top[i]);
    nodes.Add(bottom[i]);
  }
  nodes.Finish();
  std::vector<Constraint> constraints;
  auto below = [&](double upper, double lower) {
    constraints.push_back({nodes.Of(upper), nodes.Of(lower), 1});
  };
  for (std::size_t a = 0; a < n; ++a) {
    const Item& A = items[a];
    if (A.group) below(top[a], bottom[a]);
    if (A.parent >= 0) {
      below(top[static_cast<std::size_t>(A.parent)], top[a]);
      below(bottom[a], bottom[static_cast<std::size_t>(A.parent)]);
    }
    for (std::size_t b = 0; b < n; ++b) {
      const Item& B = items[b];
      if (a == b || !Overlap(A.left, A.right, B.left, B.right)) continue;
      if (static_cast<int>(b) == A.parent || static_cast<int>(a) == B.parent) continue;
      if (!A.group && !B.group && A.cluster == B.cluster) continue;
      if (bottom[a] < top[b]) below(bottom[a], top[b]);
    }
  }
  // A row holds the text lines whose middle falls in it.
  const std::vector<int> rows = Solve(nodes.keys, constraints, scale, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    items[i].row = rows[static_cast<std::size_t>(nodes.Of(top[i]))];
    items[i].bottomRow = rows[static_cast<std::size_t>(nodes.Of(bottom[i]))];
  }
}

// The blank cells the columns keep: between a group box's frame and its contents, and between
// the controls and the dialog's right frame. Roomy first; tight when the roomy layout cannot fit.
struct Spacing {
  int groupPad, edge;
};
constexpr Spacing kRoomy{1, 1}, kTight{0, 0};

// Columns, once the rows are known: controls that share a row keep a blank cell between them
// (a text's start stays clear of the text before it even where the template's boxes overlap),
// and a group box keeps its contents inside its frame, with spacing.groupPad blanks.
std::vector<int> PlaceColumns(const std::vector<Item>& items, int dialogWidth, double scale, Spacing spacing,
                              Nodes& nodes) {
  for (const Item& item : items) {
    nodes.Add(item.left);
    nodes.Add(item.right);
  }
  nodes.Add(dialogWidth);
  nodes.Finish();
  std::vector<Constraint> constraints;
  auto after = [&](double from, double to, int gap) {
    constraints.push_back({nodes.Of(from), nodes.Of(to), gap});
  };
  for (std::size_t a = 0; a < items.size(); ++a) {
    const Item& A = items[a];
    after(A.left, A.right, std::max(A.need, 1));
    if (A.right < dialogWidth) after(A.right, dialogWidth, spacing.edge);  // clear of the dialog's frame
    if (A.parent >= 0) {
      const Item& G = items[static_cast<std::size_t>(A.parent)];
      after(G.left, A.left, 1 + spacing.groupPad);
      after(A.left, G.right, A.need + 1 + spacing.groupPad);
      after(A.right, G.right, 1 + spacing.groupPad);
    }
    for (std::size_t b = 0; b < items.size(); ++b) {
      const Item& B = items[b];
      if (a == b || A.left >= B.left || !Overlap(A.row, A.bottomRow + 1, B.row, B.bottomRow + 1)) continue;
      if (static_cast<int>(b) == A.parent || static_cast<int>(a) == B.parent) continue;
      after(A.left, B.left, A.need + 1);
      if (A.right <= B.left) after(A.right, B.left, B.left - A.right >= 2 ? 1 : 0);
    }
  }
  return Solve(nodes.keys, constraints, scale, 0.5);
}

int CaptionNeed(const DialogModel& dialog) {
  // "[-] Caption " in the top border, with a corner on each side.
  return TextWidth(dialog.caption) + (dialog.systemMenu.empty() ? 4 : 8);
}

std::u16string_view ButtonOpening(const ControlModel& control) {
  return control.kind == ControlKind::DefPushButton ? u"[< " : u"[ ";
}

}  // namespace

std::u16string ControlText(const ControlModel& control) {
  const bool noPrefix = control.kind == ControlKind::Static && (control.style & kNoPrefix) != 0;
  return DisplayText(control.text, noPrefix);
}

std::u16string ButtonFace(const ControlModel& control) {
  const std::u16string_view closing = control.kind == ControlKind::DefPushButton ? u" >]" : u" ]";
  return std::u16string(ButtonOpening(control)) + ControlText(control) + std::u16string(closing);
}

int ButtonTextColumn(const ControlModel& control) { return static_cast<int>(ButtonOpening(control).size()); }

int ContentWidth(const ControlModel& control) {
  const int text = TextWidth(ControlText(control));
  switch (control.kind) {
    case ControlKind::DefPushButton:
    case ControlKind::PushButton:
      return TextWidth(ButtonFace(control));
    case ControlKind::CheckBox:
      return text + 4;  // "[x] Text"
    case ControlKind::GroupBox:
      return text > 0 ? text + 4 : 2;  // "┌ Title ┐"
    case ControlKind::ComboBox: {
      int widest = 1;
      for (const std::u16string& item : control.items) widest = std::max(widest, TextWidth(item));
      return widest + 4;  // "[Text v]"
    }
    case ControlKind::Icon:
      return 3;
    default:
      return text;
  }
}

DialogLayout LayoutDialog(const DialogModel& dialog, int maxWidth, int maxHeight) {
  std::vector<Item> items = Items(dialog);
  DialogLayout layout;
  // Rows first, compressing until they fit; the last step keeps only the constraints.
  const double steps[] = {1.0, 1.1, 1.2, 1.35, 1.5, 1.75, 2.0, 2.5, 3.0, 0.0};
  for (double step : steps) {
    layout.duPerRow = step * kRowDu;
    PlaceRows(items, layout.duPerRow);
    int height = step > 0 ? static_cast<int>(std::floor(dialog.cy / layout.duPerRow)) : 0;
    for (const Item& item : items) height = std::max(height, item.bottomRow + 1);
    layout.height = height;
    if (height <= maxHeight) break;
  }
  // Then the columns: roomy at every scale, then tight at every scale.
  std::vector<int> columns;
  Nodes nodes;
  bool fits = false;
  for (Spacing spacing : {kRoomy, kTight}) {
    for (double step : steps) {
      layout.duPerColumn = step * kColumnDu;
      nodes = Nodes{};
      columns = PlaceColumns(items, dialog.cx, layout.duPerColumn, spacing, nodes);
      int width = 0;
      for (int c : columns) width = std::max(width, c);
      layout.width = std::max(width, CaptionNeed(dialog) - 2);
      fits = layout.width <= maxWidth;
      if (fits) break;
    }
    if (fits) break;
  }
  layout.controls.assign(dialog.controls.size(), Rect{});
  auto column = [&](double key) { return columns[static_cast<std::size_t>(nodes.Of(key))]; };
  for (const Item& item : items) {
    const int left = column(item.left);
    int right = std::max(column(item.right), left + item.need);
    // A template box that runs into the next text on its row ends where that text begins.
    for (const Item& next : items)
      if (!item.group && !next.group && next.left > item.left && item.parent == next.parent &&
          Overlap(item.row, item.bottomRow + 1, next.row, next.bottomRow + 1))
        right = std::min(right, std::max(column(next.left) - 1, left + item.need));
    layout.controls[item.index] = Rect{left, item.row, right - left, item.bottomRow - item.row + 1};
  }
  return layout;
}

std::vector<std::u16string> WrapText(const std::u16string& text, int width) {
  std::vector<std::u16string> lines;
  width = std::max(width, 1);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string rest = text.substr(start, end - start);
    if (!rest.empty() && rest.back() == u'\r') rest.pop_back();
    do {
      if (TextWidth(rest) <= width) {
        lines.push_back(rest);
        break;
      }
      // Break at the last space that fits, else hard at the width.
      std::size_t cut = static_cast<std::size_t>(width);
      const std::size_t space = rest.rfind(u' ', cut);
      if (space != std::u16string::npos && space > 0) cut = space;
      lines.push_back(rest.substr(0, cut));
      rest = rest.substr(cut < rest.size() && rest[cut] == u' ' ? cut + 1 : cut);
    } while (!rest.empty());
    start = end + 1;
  }
  return lines;
}

DialogLayout LayoutMessageBox(const DialogModel& box, int maxWidth) {
  DialogLayout layout;
  layout.controls.assign(box.controls.size(), Rect{});
  std::u16string text;
  std::vector<std::size_t> buttons;
  int buttonsWidth = 0;
  for (std::size_t i = 0; i < box.controls.size(); ++i) {
    const ControlModel& c = box.controls[i];
    if (!c.visible) continue;
    if (c.kind == ControlKind::PushButton || c.kind == ControlKind::DefPushButton) {
      buttons.push_back(i);
      buttonsWidth += ContentWidth(c) + (buttonsWidth > 0 ? 2 : 0);
    } else if (c.kind == ControlKind::Static && text.empty()) {
      text = c.text;  // a message box shows its text as it stands
    }
  }
  int textWidth = 0;
  for (const std::u16string& line : WrapText(text, 1 << 20)) textWidth = std::max(textWidth, TextWidth(line));
  int width = std::max({textWidth + 4, buttonsWidth + 4, CaptionNeed(box) - 2, 20});
  width = std::min(width, std::max(maxWidth, buttonsWidth + 4));
  const std::vector<std::u16string> lines = WrapText(text, std::max(width - 4, 1));
  const int lineCount = static_cast<int>(lines.size());
  for (std::size_t i = 0; i < box.controls.size(); ++i)
    if (box.controls[i].visible && box.controls[i].kind == ControlKind::Static) {
      layout.controls[i] = Rect{2, 1, width - 4, lineCount};
      break;
    }
  int x = (width - buttonsWidth) / 2;
  for (std::size_t i : buttons) {
    const int w = ContentWidth(box.controls[i]);
    layout.controls[i] = Rect{x, lineCount + 2, w, 1};
    x += w + 2;
  }
  layout.width = width;
  layout.height = lineCount + 4;
  return layout;
}

DialogLayout LayoutWindow(const DialogModel& dialog, int maxWidth, int maxHeight) {
  return dialog.isMessageBox ? LayoutMessageBox(dialog, maxWidth) : LayoutDialog(dialog, maxWidth, maxHeight);
}

}  // namespace portable::terminal
