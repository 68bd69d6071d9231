// The one parser of adapter-key shapes that the hand-off string, profiles, the restore record and
// a hive's adapters share: which paths name an adapter's key, and which names end one.
#include <gtest/gtest.h>

#include "base/Text.h"
#include "settings/AdapterKey.h"

namespace {

TEST(AdapterKey, ShapesOfPaths) {
  const std::u16string guid = u"{6C9A3E51-0D4B-4E0C-9F1A-2B7D5C3E8A10}";
  struct Row {
    std::u16string path;
    AdapterKeyShape shape;
  };
  const Row rows[] = {
      {u"System\\ControlSet001\\Control\\Video\\" + guid + u"\\0000", AdapterKeyShape::kVideo},
      {u"SYSTEM\\currentcontrolset\\control\\video\\" + guid + u"\\0012", AdapterKeyShape::kVideo},
      {u"System\\ControlSet001\\Services\\qel700\\Device0", AdapterKeyShape::kDriverService},
      {u"System\\ControlSet002\\Services\\qel700\\device12", AdapterKeyShape::kDriverService},
      {u"System\\ControlSet001\\Services\\qel700\\Device9999", AdapterKeyShape::kDriverService},
      // Not an adapter's key: the wrong count of digits, no digits, another name, a key above or
      // below, a control set that is no control set, a service name that moves about.
      {u"System\\ControlSet001\\Services\\qel700\\Device10000", AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Services\\qel700\\Device", AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Services\\qel700\\Device0x", AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Control\\Video\\" + guid + u"\\000", AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Control\\Video\\" + guid + u"\\00000", AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Control\\Video\\{6C9A3E51-0D4B-4E0C-9F1A-2B7D5C3E8A1}\\0000",
       AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Control\\Video\\" + guid, AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Control\\Video\\" + guid + u"\\0000\\D3D", AdapterKeyShape::kNone},
      {u"System\\ControlSet1\\Services\\qel700\\Device0", AdapterKeyShape::kNone},
      {u"System\\ControlSet001\\Services\\..\\Device0", AdapterKeyShape::kNone},
      {u"Software\\ControlSet001\\Services\\qel700\\Device0", AdapterKeyShape::kNone},
      {u"\\System\\ControlSet001\\Services\\qel700\\Device0", AdapterKeyShape::kNone},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(base::Utf8FromUtf16(row.path));
    EXPECT_EQ(AdapterKeyShapeOf(row.path), row.shape);
    const std::u16string_view last = std::u16string_view(row.path).substr(row.path.rfind(u'\\') + 1);
    // The last name of an adapter's key is one of either shape; the key's name alone says so.
    if (row.shape != AdapterKeyShape::kNone) {
      EXPECT_TRUE(IsAdapterKeyName(last));
    }
  }
  EXPECT_FALSE(IsAdapterKeyName(u"D3D"));
  EXPECT_FALSE(IsAdapterKeyName(u"Device10000"));
}

}  // namespace
