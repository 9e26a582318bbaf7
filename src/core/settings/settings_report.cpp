#include "settings/settings_report.h"

#include <sstream>

namespace {

void Line(std::ostringstream& out, const char* key, int value) { out << "  " << key << " = " << value << '\n'; }

void Line(std::ostringstream& out, const char* key, const std::string& value)
{
    out << "  " << key << " = \"" << value << "\"\n";
}

void Line(std::ostringstream& out, const char* key, const CPathValue& value)
{
    out << "  " << key << " = \"" << value.raw << '"';
    if (value.expanded != value.raw)
        out << " -> \"" << value.expanded << '"';
    out << '\n';
}

void DescribeGeneral(std::ostringstream& out, const CGeneralSettings& g)
{
    out << "[Setting]\n";
    Line(out, "BakCopyPath", g.BakCopyPath);
    Line(out, "FileChkInterval", g.FileChkInterval);
    Line(out, "BakDelayTime", g.BakDelayTime);
    Line(out, "DispDetailInfo", g.DispDetailInfo);
    Line(out, "DispDebugInfo", g.DispDebugInfo);
    Line(out, "NoDriveDir", g.NoDriveDir);
    Line(out, "BakDrvAlertSize", g.BakDrvAlertSize);
    Line(out, "Forced", g.Forced);
    Line(out, "Ignore2sec", g.Ignore2sec);
    Line(out, "LogFile", g.LogFile);
    Line(out, "LogLines", g.LogLines);
    Line(out, "LogSize", g.LogSize);
    Line(out, "Sound", g.Sound);
    Line(out, "SoundW", g.SoundW);
    Line(out, "SoundE", g.SoundE);
    Line(out, "SoundFile", g.SoundFile);
    Line(out, "SoundWFile", g.SoundWFile);
    Line(out, "SoundEFile", g.SoundEFile);
    Line(out, "GenStyle", g.GenStyle);
    Line(out, "YmdFmt", g.YmdFmt);
    Line(out, "BakWait", g.BakWait);
    Line(out, "Recycle2", g.Recycle2);
    Line(out, "StopApp", g.StopApp);
    Line(out, "DlgTimer", g.DlgTimer);
    Line(out, "CpLHA", g.CpLHA);
    Line(out, "CpRAR", g.CpRAR);
    Line(out, "CpZIP", g.CpZIP);
    Line(out, "CpOptLHA", g.CpOptLHA);
    Line(out, "CpOptRAR", g.CpOptRAR);
    Line(out, "CpOptZIP", g.CpOptZIP);
}

void DescribeStartup(std::ostringstream& out, const CStartupOptions& s)
{
    out << "[Startup] (2 = forced by the command line)\n";
    Line(out, "cp", s.cp);
    Line(out, "fx", s.fx);
    Line(out, "min", s.min);
    Line(out, "nbc", s.nbc);
    Line(out, "nws", s.nws);
    Line(out, "pn", s.pn);
    Line(out, "sa", s.sa);
    Line(out, "xn", s.xn);
}

void DescribeFileSetting(std::ostringstream& out, int index, const CFileSetting& f)
{
    out << "File setting #" << index << (IsSampleSource(f.No.raw) ? " (sample, not backed up)" : "")
        << '\n';
    Line(out, "No", f.No);
    Line(out, "Sub", f.Sub);
    Line(out, "Ignore", f.Ignore);
    Line(out, "DoInterval", f.DoInterval);
    Line(out, "NoDetect", f.NoDetect);
    Line(out, "BakTo", f.BakTo);
    Line(out, "Inc", f.Inc);
    Line(out, "Exc", f.Exc);
    Line(out, "DirExc", f.DirExc);
    Line(out, "Gen", f.Gen);
    Line(out, "SameDateExc", f.SameDateExc);
    Line(out, "NearTimeExc", f.NearTimeExc);
    Line(out, "GenBakTo", f.GenBakTo);
    Line(out, "NewBakTo", f.NewBakTo);
    Line(out, "ForcedInc", f.ForcedInc);
    Line(out, "Forced", f.Forced);
    Line(out, "ForcedMove", f.ForcedMove);
    Line(out, "OldDel", f.OldDel);
    Line(out, "OldMove", f.OldMove);
    Line(out, "DaysFrom", f.DaysFrom);
    Line(out, "DaysTo", f.DaysTo);
    Line(out, "ArcMode", f.ArcMode);
    Line(out, "DlgCopyBig", f.DlgCopyBig);
    Line(out, "ObsRunExe", f.ObsRunExe);
    Line(out, "ObsRunArg", f.ObsRunArg);
    Line(out, "CompMode", f.CompMode);
    Line(out, "CompFile", f.CompFile);
    Line(out, "CpLog", f.CpLog);
    Line(out, "CpPw", std::string(f.CpPw.empty() ? "" : "****"));
    Line(out, "CpOpt", f.CpOpt);
}

}  // namespace

std::string DescribeSettings(const CSettingsModel& model)
{
    std::ostringstream out;
    DescribeGeneral(out, model.general);
    DescribeStartup(out, model.startup);
    out << "[Backup]\n  Files = " << model.Files << '\n';
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index)
        DescribeFileSetting(out, index, model.files[static_cast<std::size_t>(index)]);
    return out.str();
}
