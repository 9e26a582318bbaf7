#include "platform/platform_services.h"

#include "platform/linux/power_supply.h"
#include "platform/linux/running_applications.h"
#include "platform/linux/storage_info.h"

IPowerStatus& PowerStatusOf(const CHostServices& services)
{
    static CLinuxPowerStatus linuxPower;
    return services.power != nullptr ? *services.power : linuxPower;
}

IRunningApplications& RunningApplicationsOf(const CHostServices& services)
{
    static CLinuxRunningApplications linuxApplications;
    return services.applications != nullptr ? *services.applications : linuxApplications;
}

IStorageInfo& StorageInfoOf(const CHostServices& services)
{
    static CLinuxStorageInfo linuxStorage;
    return services.storage != nullptr ? *services.storage : linuxStorage;
}
