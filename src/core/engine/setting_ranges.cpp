#include "engine/setting_ranges.h"

#include <climits>
#include <string>

#include "settings/application_core.h"
#include "engine/engine_texts.h"
#include "report/format_text.h"
#include "report/message_kinds.h"

namespace {

constexpr int kNearest = INT_MIN; // the replacement is the nearest bound

template <class Record> struct CRange
{
    const char* key;
    int Record::*field;
    int low;
    int high;
    int replacement;
};

const CRange<CGeneralSettings> kGeneralRanges[] = {
    {"FileChkInterval", &CGeneralSettings::FileChkInterval, 0, 86400, kNearest},
    {"BakDelayTime", &CGeneralSettings::BakDelayTime, 0, 2147483, kNearest},
    {"BakDrvAlertSize", &CGeneralSettings::BakDrvAlertSize, 0, INT_MAX, kNearest},
    {"LogLines", &CGeneralSettings::LogLines, kLogLinesMin, kLogLinesMax, kNearest},
    {"LogSize", &CGeneralSettings::LogSize, 0, INT_MAX, kNearest},
    {"GenStyle", &CGeneralSettings::GenStyle, 0, 3, 1},
    {"YmdFmt", &CGeneralSettings::YmdFmt, 0, 4, 2},
    {"BakWait", &CGeneralSettings::BakWait, 0, 3, kNearest},
    {"DlgTimer", &CGeneralSettings::DlgTimer, 0, 2147483, kNearest},
};

const CRange<CFileSetting> kFileRanges[] = {
    {"Gen", &CFileSetting::Gen, 0, INT_MAX, kNearest},
    {"Forced", &CFileSetting::Forced, 0, 4, 1},
    {"OldDel", &CFileSetting::OldDel, 0, 5, 1},
    {"NearTimeExc", &CFileSetting::NearTimeExc, 0, 4294967, kNearest},
    {"DoInterval", &CFileSetting::DoInterval, 0, 4294920, kNearest},
    {"DlgCopyBig", &CFileSetting::DlgCopyBig, 0, INT_MAX, kNearest},
};

constexpr int kLowestCompressionMode = 0;
constexpr int kHighestCompressionMode = 3;

template <class Record>
void Correct(CApplicationCore& core, Record& record, const CRange<Record>& range, const std::string& key,
             const std::string& source)
{
    int& value = record.*range.field;
    if (value >= range.low && value <= range.high)
        return;
    const int used = range.replacement != kNearest ? range.replacement
                     : value < range.low           ? range.low
                                                   : range.high;
    core.OutputMessage(MessageKind::kWarning,
                       FormatText(EngineText::kOutOfRangeFormat, key.c_str(), value, range.low, range.high),
                       source, {}, FormatText(EngineText::kUsedInsteadFormat, used));
    value = used;
}

} // namespace

bool HasUnknownCompressionMode(const CFileSetting& setting)
{
    return setting.CompMode < kLowestCompressionMode || setting.CompMode > kHighestCompressionMode;
}

void CheckSettingRanges(CApplicationCore& core)
{
    CSettingsModel& model = core.Settings();
    for (const auto& range : kGeneralRanges)
        Correct(core, model.general, range, range.key, {});

    if (model.Files < 0 || model.Files > kMaxFileSettings) {
        const int used = model.Files < 0 ? 0 : kMaxFileSettings;
        core.OutputMessage(
            MessageKind::kError,
            FormatText(EngineText::kOutOfRangeFormat, "Files", model.Files, 0, kMaxFileSettings), {}, {},
            FormatText(EngineText::kUsedInsteadFormat, used));
        model.Files = used;
    }
    for (int index = 0; index < model.Files; ++index) {
        CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
        const std::string& source = setting.No.expanded;
        if (source.empty() || IsSampleSource(source))
            continue;
        const std::string suffix = std::to_string(index);
        for (const auto& range : kFileRanges)
            Correct(core, setting, range, range.key + suffix, source);
        if (HasUnknownCompressionMode(setting))
            core.OutputMessage(MessageKind::kError,
                               FormatText(EngineText::kOutOfRangeFormat, ("CompMode" + suffix).c_str(),
                                          setting.CompMode, kLowestCompressionMode, kHighestCompressionMode),
                               source, {}, EngineText::kNotBackedUp);
    }
}
