#include "settings/settings_model.h"

namespace {
constexpr const char* kDefaultStopApp = "スキャンディスク - *;ｽｷｬﾝﾃﾞｨｽｸ - *;最適化中 - *";
constexpr const char* kDefaultTempFolder = "%temp%";
}  // namespace

CGeneralSettings::CGeneralSettings()
    : StopApp(kDefaultStopApp),
      CpLHA("UNLHA32.DLL"),
      // The RAR program for Linux takes the same switches; ZIP goes through the
      // program's own adapter, which understands the command line built for it.
      CpRAR("rar"),
      CpZIP("tovix-zip"),
      CpOptLHA("u -a1x1gp0n1"),
      CpOptRAR("u"),
      CpOptZIP("-u")
{
}

CFileSetting::CFileSetting()
{
    ForcedMove.Assign(kDefaultTempFolder);
    OldMove.Assign(kDefaultTempFolder);
}

bool IsSampleSource(std::string_view source)
{
    return !source.empty() && source.front() == '#';
}
