// The seam's accessors: the default until something is installed, what Set hands back, and
// scoped installs that nest.
#include <gtest/gtest.h>

#include "base/Service.h"

namespace {

struct Thing {};

Thing& DefaultThing() {
  static Thing thing;
  return thing;
}

constinit base::Service<Thing> g_thing(DefaultThing);

Thing& GetThing() { return g_thing.Get(); }
Thing* SetThing(Thing* thing) { return g_thing.Set(thing); }

TEST(Service, SetHandsBackWhatItReplacedAndNullForTheDefault) {
  Thing first;
  Thing second;
  EXPECT_EQ(&GetThing(), &DefaultThing());
  EXPECT_EQ(SetThing(&first), nullptr);
  EXPECT_EQ(&GetThing(), &first);
  EXPECT_EQ(SetThing(&second), &first);
  EXPECT_EQ(SetThing(nullptr), &second);
  EXPECT_EQ(&GetThing(), &DefaultThing());
}

TEST(Service, InstalledPutsBackWhatWasThereWhenScopesNest) {
  Thing outer;
  Thing inner;
  {
    const base::Installed<SetThing> installedOuter(outer);
    EXPECT_EQ(&GetThing(), &outer);
    {
      const base::Installed<SetThing> installedInner(inner);
      EXPECT_EQ(&GetThing(), &inner);
    }
    EXPECT_EQ(&GetThing(), &outer);
  }
  // Nothing is left installed.
  EXPECT_EQ(SetThing(nullptr), nullptr);
  EXPECT_EQ(&GetThing(), &DefaultThing());
}

}  // namespace
