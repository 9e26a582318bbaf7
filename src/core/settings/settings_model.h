#pragma once

// The settings model: general settings, start-up options and the table of file
// settings. Fields carry the names of their keys in the settings file. Every field is a
// plain integer or an owned string so that dialogs can copy the model to detect changes
// and to restore it on cancel.

#include <array>
#include <string>

#include "platform/path_value.h"
#include "report/report_settings.h"

// The fields reporting reads (DispDetailInfo, LogFile, LogSize, the sounds) come from
// CReportSettings.
struct CGeneralSettings : CReportSettings
{
    int FileChkInterval = 3;
    int BakDelayTime = 5;
    CPathValue BakCopyPath;
    int NoDriveDir = 0;
    int BakDrvAlertSize = 100;
    int Forced = 0;
    int LogLines = 200;
    int Ignore2sec = 1;
    int GenStyle = 1;
    int YmdFmt = 2;
    int BakWait = 1;
    CPathValue Recycle2;
    std::string StopApp;
    int DlgTimer = 30;
    std::string CpLHA;
    std::string CpRAR;
    std::string CpZIP;
    std::string CpOptLHA;
    std::string CpOptRAR;
    std::string CpOptZIP;
    // The list font as stored (list_font.h reads and writes it); written only by the font
    // command, never by the general configuration.
    std::string FontName;
    std::string FontData;

    CGeneralSettings();
    bool operator==(const CGeneralSettings&) const = default;
};

// Values 0 and 1 come from the settings file; 2 means forced on by the command line of
// this run, counts as on, and is never written back.
struct CStartupOptions
{
    int cp = 1;
    int fx = 0;
    int min = 0;
    int nbc = 0;
    int nws = 0;
    int pn = 0;
    int sa = 0;
    int xn = 0;

    bool operator==(const CStartupOptions&) const = default;
};

inline constexpr int kInvalidChangeHandle = -1;

// Change marks of a file setting (run-time only).
namespace ChangeMark {
inline constexpr int kNone = 0;
inline constexpr int kChangeSeen = 1;
inline constexpr int kRequested = 2;
inline constexpr int kPeriodDue = 3;
}  // namespace ChangeMark

struct CFileSetting
{
    // Run-time state of the scheduler, never stored.
    int changeHandle = kInvalidChangeHandle;
    int changeMark = ChangeMark::kNone;

    CPathValue No;
    int Sub = 0;
    int Ignore = 0;
    int DoInterval = 0;
    int NoDetect = 0;
    CPathValue BakTo;
    std::string Inc = "*.*";
    std::string Exc;
    int Gen = 0;
    std::string DirExc;
    std::string ForcedInc;
    int Forced = 1;
    CPathValue ForcedMove;
    int SameDateExc = 0;
    int OldDel = 0;
    CPathValue OldMove;
    int NearTimeExc = 5;
    CPathValue ObsRunExe;
    CPathValue ObsRunArg;
    std::string DaysFrom;
    std::string DaysTo;
    int CompMode = 0;
    CPathValue CompFile;
    int ArcMode = 0;
    int DlgCopyBig = 10;
    std::string CpLog;
    std::string CpPw;
    std::string CpOpt;
    CPathValue NewBakTo;
    CPathValue GenBakTo;

    CFileSetting();
    bool operator==(const CFileSetting&) const = default;
};

inline constexpr int kMaxFileSettings = 100;

struct CSettingsModel
{
    CGeneralSettings general;
    CStartupOptions startup;
    int Files = 0;
    std::array<CFileSetting, kMaxFileSettings> files;

    bool operator==(const CSettingsModel&) const = default;
};

// A source beginning with "#" is a sample: kept and edited, never watched or backed up.
bool IsSampleSource(std::string_view source);
