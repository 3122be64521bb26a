#include "host/host_abi.h"

// C linkage and export come from the declaration in host_abi.h.
kodrix::ImportTableRecord ImportTable = {0x0F, nullptr, 0, nullptr};
