// What only a test double shows: the exact registry calls of construction and OK (each value
// with its own open and close, the probe once, the writes in their order, the refresh after
// them and after the end of the dialog), and a write whose open fails after the probe passed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Service.h"
#include "framework/Types.h"
#include "framework/portable/Layer.h"
#include "res/resource.h"
#include "tests/dialogs/DialogHost.h"
#include "tests/support/ForwardingRegistry.h"

namespace {

using scenarios::Checks;
using scenarios::DialogKey;
using scenarios::SettingsDialog;
using scenarios::StoredValue;

// Passes every call to the store, logs it, and can refuse chosen opens for writing (counted
// from 1 over all opens for writing, the probe's included).
class LoggingRegistry final : public platform::ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;

  long Open(std::u16string_view path, std::uint32_t access, platform::RegKey* key) override {
    const bool write = access == platform::kKeyWrite;
    std::string entry = std::string(write ? "open write " : "open read ") + Where(path);
    if (write && ++m_writeOpens == refuseWriteOpen) {
      log.push_back(entry + " refused");
      return platform::kAccessDenied;
    }
    const long status = ForwardingRegistry::Open(path, access, key);
    log.push_back(status == 0 ? entry : entry + " failed");
    return status;
  }
  long Query(platform::RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
             std::uint32_t* size) override {
    log.push_back("query " + scenarios::Narrow(name));
    return ForwardingRegistry::Query(key, name, type, data, size);
  }
  long Set(platform::RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
           std::uint32_t size) override {
    log.push_back("set " + scenarios::Narrow(name));
    return ForwardingRegistry::Set(key, name, type, data, size);
  }
  long Delete(platform::RegKey key, std::u16string_view name) override {
    log.push_back("delete " + scenarios::Narrow(name));
    return ForwardingRegistry::Delete(key, name);
  }
  long Close(platform::RegKey key) override {
    log.push_back("close");
    return ForwardingRegistry::Close(key);
  }

  std::vector<std::string> log;
  int refuseWriteOpen = 0;

 private:
  static std::string Where(std::u16string_view path) {
    if (path == testadapter::kCurrentKey) return "device";
    if (path == testadapter::kDriverKey) return "D3D";
    return scenarios::Narrow(path);
  }
  int m_writeOpens = 0;
};

class RegistryLog : public testing::Test {
 protected:
  // The logging registry stands in front of the host's store. The mode set of the refresh joins
  // the log, with whether the dialog whose window it was given had already ended.
  RegistryLog() {
    host.displayMode.SetModeSetHook([this](std::uint32_t, std::uint32_t, std::uint32_t) {
      void* window = nullptr;
      for (const platform::DisplayModeCall& call : host.displayMode.Calls())
        if (call.kind == platform::DisplayModeCall::Kind::SetCooperativeLevel) window = call.window;
      const portable::DialogModel* dialog = portable::DialogFromHandle(window);
      registry.log.push_back(dialog == nullptr ? "mode set, no dialog"
                             : dialog->ended   ? "mode set, dialog ended"
                                               : "mode set, dialog open");
    });
  }

  // Runs the dialog through the user's steps; the steps end with OK and expect no message.
  void Run(SettingsDialog dialog, const std::function<void(User&, Checks&)>& edit) {
    Checks checks;
    {
      std::unique_ptr<PortableUser> user = host.Open(dialog);
      ASSERT_TRUE(user->WaitForDialog(scenarios::CaptionOf(dialog)));
      edit(*user, checks);
      scenarios::PressOk(*user, checks, dialog);
      EXPECT_EQ(user->WaitForExit(), IDOK);
    }
    for (const std::string& failure : checks.Failures()) ADD_FAILURE() << failure;
    EXPECT_EQ(host.store.OpenHandleCount(), 0);
  }

  void ExpectRefreshed() {
    Checks checks;
    host.ExpectRefreshes(true, checks);
    for (const std::string& failure : checks.Failures()) ADD_FAILURE() << failure;
  }

  DialogHost host;
  LoggingRegistry registry{host.store};
  base::Installed<platform::SetRegistry> m_logging{registry};
};

void ChooseBoth(User& user, Checks& checks) {
  scenarios::Choose(user, checks, IDC_COMBO_DUAL_AA, u"4 Sample Anti-Aliasing");
  scenarios::Choose(user, checks, IDC_COMBO_DUAL_GUARDBAND, u"Enabled");
}

TEST_F(RegistryLog, ChipDialogOpensForEveryValueAndWritesGuardBandFirst) {
  host.Seed({});
  Run(SettingsDialog::DualChip, ChooseBoth);
  const std::vector<std::string> expected = {
      // construction: each value with its own open
      "open read D3D", "query QLDRV_GUARDBAND_CLIPPING", "close",    //
      "open read D3D", "query QLDRV_SLI_AA_CONFIGURATION", "close",  //
      // OK: the probe, then guard band clipping before the anti-aliasing configuration
      "open write D3D", "close",                                    //
      "open write D3D", "set QLDRV_GUARDBAND_CLIPPING", "close",    //
      "open write D3D", "set QLDRV_SLI_AA_CONFIGURATION", "close",  //
      // then the end of the dialog, then the refresh with its window
      "mode set, dialog ended",  //
  };
  EXPECT_EQ(registry.log, expected);
  ExpectRefreshed();
}

// The probe passes but one write cannot open its key: that value is skipped without a word,
// the other is written, and the refresh still runs.
struct RefusedWrite {
  int refuse;  // counted over the opens for writing: 1 is the probe
  std::vector<StoredValue> expected;
};

class ChipDialogWriteRefused : public RegistryLog, public testing::WithParamInterface<RefusedWrite> {};

TEST_P(ChipDialogWriteRefused, SkipsOnlyThatValue) {
  registry.refuseWriteOpen = GetParam().refuse;
  host.Seed({});
  Run(SettingsDialog::DualChip, ChooseBoth);
  EXPECT_EQ(host.Stored(), GetParam().expected);
  ExpectRefreshed();
}

INSTANTIATE_TEST_SUITE_P(
    Dual, ChipDialogWriteRefused,
    testing::Values(
        RefusedWrite{2, {scenarios::Number(DialogKey::DriverSettings, u"QLDRV_SLI_AA_CONFIGURATION", 4)}},
        RefusedWrite{3, {scenarios::Number(DialogKey::DriverSettings, u"QLDRV_GUARDBAND_CLIPPING", 1)}}));

// Every general setting changed: the probe of the device key, then nine steps in their order,
// each with its own open; the DDI pair shares one.
TEST_F(RegistryLog, GeneralDialogWritesInItsOrder) {
  host.Seed({scenarios::Number(DialogKey::DriverSettings, u"QLDRV_SWAPINTERVAL", 0)});
  Run(SettingsDialog::General, [](User& user, Checks& checks) {
    checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
    scenarios::Choose(user, checks, IDC_COMBO_DDI_VERSION, u"8");
    scenarios::Choose(user, checks, IDC_COMBO_FIFO_SIZE, u"640K");
    scenarios::Choose(user, checks, IDC_COMBO_LOD_BIAS, u"0.25");
    scenarios::Choose(user, checks, IDC_COMBO_VSYNC, u"Software");
    scenarios::Choose(user, checks, IDC_COMBO_FILTER, u"High");
    scenarios::Choose(user, checks, IDC_COMBO_ALPHA, u"Sharper");
    scenarios::Choose(user, checks, IDC_COMBO_PENDING, u"2");
    scenarios::Choose(user, checks, IDC_COMBO_DITHER, u"Enable");
  });
  std::vector<std::string> reads;
  for (const char* name : {"MaxTileBuffers", "DisableDX8", "DisableDX9", "CmdFifoSize"})
    reads.insert(reads.end(), {"open read device", std::string("query ") + name, "close"});
  for (const char* name : {"QLDRV_LOD_BIAS", "QLDRV_SWAPINTERVAL", "QLDRV_OVERLAYMODE",
                           "QLDRV_ALPHADITHERMODE", "QLDRV_MAX_PENDING_BUFFERS", "QLDRV_LOD_DITHER"})
    reads.insert(reads.end(), {"open read D3D", std::string("query ") + name, "close"});
  std::vector<std::string> expected = reads;
  expected.insert(expected.end(), {
                                      "open write device",
                                      "close",  //
                                      "open write device",
                                      "set CmdFifoSize",
                                      "close",  //
                                      "open write device",
                                      "set MaxTileBuffers",
                                      "close",  //
                                      "open write device",
                                      "set DisableDX8",
                                      "set DisableDX9",
                                      "close",  //
                                      "open write D3D",
                                      "set QLDRV_LOD_BIAS",
                                      "close",  //
                                      "open write D3D",
                                      "delete QLDRV_SWAPINTERVAL",
                                      "close",  //
                                      "open write D3D",
                                      "set QLDRV_OVERLAYMODE",
                                      "close",  //
                                      "open write D3D",
                                      "set QLDRV_ALPHADITHERMODE",
                                      "close",  //
                                      "open write D3D",
                                      "set QLDRV_MAX_PENDING_BUFFERS",
                                      "close",  //
                                      "open write D3D",
                                      "set QLDRV_LOD_DITHER",
                                      "close",  //
                                      "mode set, dialog ended",
                                  });
  EXPECT_EQ(registry.log, expected);
  ExpectRefreshed();
}

// The probe passes but the DDI pair's open fails: the pair is skipped, the steps before and
// after it are written, and the refresh runs.
TEST_F(RegistryLog, GeneralDialogSkipsAStepWhoseOpenFails) {
  registry.refuseWriteOpen = 3;  // probe, MaxTileBuffers, then the DDI pair
  host.Seed({});
  Run(SettingsDialog::General, [](User& user, Checks& checks) {
    checks.Expect(user.Click(IDC_CHECK_TRIPLE_BUFFER), "could not click the box");
    scenarios::Choose(user, checks, IDC_COMBO_DDI_VERSION, u"7");
    scenarios::Choose(user, checks, IDC_COMBO_DITHER, u"Enable");
  });
  const std::vector<StoredValue> expected = {
      scenarios::Binary(DialogKey::Device, u"MaxTileBuffers", 3),
      scenarios::Number(DialogKey::DriverSettings, u"QLDRV_LOD_DITHER", 1)};
  EXPECT_EQ(host.Stored(), expected);
  ExpectRefreshed();
}

}  // namespace
