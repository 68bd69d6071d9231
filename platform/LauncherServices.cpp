// The accessors of the launcher's services, for both targets (base/Service.h).
#include "base/Service.h"
#include "platform/Launcher.h"

namespace platform {
namespace {

constinit base::Service<RecordStore> g_recordStore(detail::DefaultRecordStore);
constinit base::Service<ProcessStarter> g_processStarter(detail::DefaultProcessStarter);

}  // namespace

RecordStore& GetRecordStore() { return g_recordStore.Get(); }
RecordStore* SetRecordStore(RecordStore* store) { return g_recordStore.Set(store); }
ProcessStarter& GetProcessStarter() { return g_processStarter.Get(); }
ProcessStarter* SetProcessStarter(ProcessStarter* starter) { return g_processStarter.Set(starter); }

}  // namespace platform
