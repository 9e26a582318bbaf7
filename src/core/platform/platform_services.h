#pragma once

// The platform queries the engine makes: the one the front end (or a test) handed over
// in CHostServices, or else the platform's own implementation.

#include "platform/host_services.h"
#include "platform/power_status.h"
#include "platform/running_applications.h"
#include "platform/storage_info.h"

IPowerStatus& PowerStatusOf(const CHostServices& services);
IRunningApplications& RunningApplicationsOf(const CHostServices& services);
IStorageInfo& StorageInfoOf(const CHostServices& services);
