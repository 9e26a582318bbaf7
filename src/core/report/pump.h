#pragma once

// Lets the front end handle pending events during long work.

#include "platform/host_services.h"

// Runs the front end's event pump; false when the application is quitting (then the
// work should stop). The last system error of the file layer and errno are the same
// afterwards, whatever the handlers did meanwhile. Without a pump: true.
bool PumpPendingMessages(const CHostServices& services);
