// The accessors of the platform services, for both targets: each answers with what was
// installed, or with the platform's default (base/Service.h).
#include "base/Service.h"
#include "platform/Defaults.h"

namespace platform {
namespace {

constinit base::Service<Registry> g_registry(detail::DefaultRegistry);
constinit base::Service<DisplayDevices> g_displayDevices(detail::DefaultDisplayDevices);
constinit base::Service<DisplayMode> g_displayMode(detail::DefaultDisplayMode);
constinit base::Service<RecordStore> g_recordStore(detail::DefaultRecordStore);
constinit base::Service<ProcessStarter> g_processStarter(detail::DefaultProcessStarter);

}  // namespace

Registry& GetRegistry() { return g_registry.Get(); }
Registry* SetRegistry(Registry* registry) { return g_registry.Set(registry); }

DisplayDevices& GetDisplayDevices() { return g_displayDevices.Get(); }
DisplayDevices* SetDisplayDevices(DisplayDevices* devices) { return g_displayDevices.Set(devices); }

DisplayMode& GetDisplayMode() { return g_displayMode.Get(); }
DisplayMode* SetDisplayMode(DisplayMode* displayMode) { return g_displayMode.Set(displayMode); }

RecordStore& GetRecordStore() { return g_recordStore.Get(); }
RecordStore* SetRecordStore(RecordStore* store) { return g_recordStore.Set(store); }

ProcessStarter& GetProcessStarter() { return g_processStarter.Get(); }
ProcessStarter* SetProcessStarter(ProcessStarter* starter) { return g_processStarter.Set(starter); }

}  // namespace platform
