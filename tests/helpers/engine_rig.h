#pragma once

// The start of most engine tests: a core on fake services over a fresh temporary tree,
// with debug messages shown, processing enabled, and a private recycle folder inside the
// tree so that nothing of a test ever reaches the desktop's trash.

#include <memory>

#include "helpers/fake_services.h"
#include "helpers/temp_tree.h"
#include "settings/application_core.h"

// Replaces host, core and tree with new ones; false when no temporary folder could be made.
bool MakeEngineRig(std::unique_ptr<CFakeHost>& host, std::unique_ptr<CApplicationCore>& core,
                   std::unique_ptr<CTempTree>& tree);
