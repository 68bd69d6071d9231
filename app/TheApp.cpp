// The one application object, linked by the programs (and the start-up tests) themselves.
#include "app/ConfiguratorApp.h"

CConfiguratorApp theApp;
