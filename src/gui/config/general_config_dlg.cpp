#include "config/general_config_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "app/application.h"
#include "config/config_texts.h"
#include "config/list_font_command.h"
#include "config/pickers.h"
#include "engine/setting_ranges.h"
#include "framework/control_id.h"
#include "framework/list_font.h"
#include "report/format_text.h"
#include "ui_general_config_dlg.h"
#include "version.h"

namespace {

struct CStartupBox
{
    int id;
    int CStartupOptions::*field;
};

constexpr CStartupBox kStartupBoxes[] = {
    {1030, &CStartupOptions::min}, {1031, &CStartupOptions::nws}, {1032, &CStartupOptions::pn},
    {1033, &CStartupOptions::sa},  {1034, &CStartupOptions::nbc}, {1035, &CStartupOptions::cp},
    {1036, &CStartupOptions::xn},  {1037, &CStartupOptions::fx},
};

// An option given on the command line shows in the third state and cannot be changed here.
constexpr int kForcedByCommandLine = 2;

// The date-stamp formats only mean something for the two date styles.
bool IsDateStyle(int genStyle)
{
    return genStyle == 2 || genStyle == 3;
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Text(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

} // namespace

CGeneralConfigDlg::CGeneralConfigDlg(CApplication& app, QWidget* parent, std::function<void()> help,
                                     std::function<void(const QFont&)> applyListFont)
    : CwDialog(kTemplateId, false, parent), m_app(app), m_ui(std::make_unique<Ui::GeneralConfigDlg>()),
      m_help(std::move(help)), m_applyListFont(std::move(applyListFont))
{
    m_ui->setupUi(this);
    m_ui->noteIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));

    m_hold.emplace(m_app);

    setWindowTitle(QString::fromUtf8(ConfigText::kGeneralTitlePrefix)
                   + Text(m_app.Core().SettingsFilePath()));
    if (!PickersAvailable()) {
        Button(1004)->setEnabled(false);
        Button(1005)->setEnabled(false);
    }
    m_app.Core().Storage().LoadGeneralSettings();
    LoadControls();
    OnLogFile();
    OnSound(1010, 1020);
    OnSound(1013, 1021);
    OnSound(1014, 1022);
    OnRecycle();
    OnGenStyle();
    const CStartupOptions& options = m_app.Core().Settings().startup;
    for (const CStartupBox& box : kStartupBoxes) {
        QCheckBox* check = Check(box.id);
        const int value = options.*box.field;
        check->setTristate(value == kForcedByCommandLine);
        check->setCheckState(value == kForcedByCommandLine ? Qt::PartiallyChecked
                                                           : (value != 0 ? Qt::Checked : Qt::Unchecked));
        check->setEnabled(value != kForcedByCommandLine);
    }
    const CGeneralSettings& general = m_app.Core().Settings().general;
    if (!general.FontName.empty()) {
        const QFont font = ListFontFromSettings(general.FontName, general.FontData, this->font());
        for (QWidget* child : findChildren<QWidget*>())
            child->setFont(font);
    }
    m_app.SetNormalPriority();

    connect(Check(1194), &QCheckBox::clicked, this, &CGeneralConfigDlg::OnLogFile);
    connect(Check(1010), &QCheckBox::clicked, this, [this] { OnSound(1010, 1020); });
    connect(Check(1013), &QCheckBox::clicked, this, [this] { OnSound(1013, 1021); });
    connect(Check(1014), &QCheckBox::clicked, this, [this] { OnSound(1014, 1022); });
    connect(Check(1024), &QCheckBox::clicked, this, &CGeneralConfigDlg::OnRecycle);
    connect(Combo(1052), &QComboBox::currentIndexChanged, this, &CGeneralConfigDlg::OnGenStyle);
    connect(Button(1004), &QPushButton::clicked, this,
            [this] { Browse(1004, 1002, false, ConfigText::kPromptFolder, false); });
    connect(Button(1027), &QPushButton::clicked, this,
            [this] { Browse(1027, 1025, false, ConfigText::kPromptFolder, false); });
    connect(Button(1005), &QPushButton::clicked, this,
            [this] { Browse(1005, 1017, true, ConfigText::kPromptFile, true); });
    connect(Button(1015), &QPushButton::clicked, this,
            [this] { Browse(1015, 1020, true, ConfigText::kPromptSoundFile, true); });
    connect(Button(1016), &QPushButton::clicked, this,
            [this] { Browse(1016, 1021, true, ConfigText::kPromptSoundFile, true); });
    connect(Button(1023), &QPushButton::clicked, this,
            [this] { Browse(1023, 1022, true, ConfigText::kPromptSoundFile, true); });
    connect(Button(1019), &QPushButton::clicked, this, &CGeneralConfigDlg::OnFont);
    connect(Button(9), &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help();
    });
    connect(Button(1), &QPushButton::clicked, this, &CGeneralConfigDlg::accept);
    connect(Button(2), &QPushButton::clicked, this, &CGeneralConfigDlg::reject);
}

CGeneralConfigDlg::~CGeneralConfigDlg() = default;

void CGeneralConfigDlg::LoadControls()
{
    const CGeneralSettings& g = m_app.Core().Settings().general;
    const auto setInt = [this](int id, int value) { Edit(id)->setText(QString::number(value)); };
    Edit(1002)->setText(Text(g.BakCopyPath.raw));
    setInt(1003, g.BakDrvAlertSize);
    Combo(1102)->setCurrentIndex(g.BakWait);
    setInt(1009, g.LogLines);
    setInt(1028, g.DlgTimer);
    Check(1006)->setChecked(g.DispDetailInfo != 0);
    Check(1008)->setChecked(g.DispDebugInfo != 0);
    Check(1194)->setChecked(!g.LogFile.raw.empty());
    Edit(1017)->setText(Text(g.LogFile.raw));
    setInt(1012, g.LogSize);
    Check(1010)->setChecked(g.Sound != 0);
    Edit(1020)->setText(Text(g.SoundFile));
    Check(1013)->setChecked(g.SoundW != 0);
    Edit(1021)->setText(Text(g.SoundWFile));
    Check(1014)->setChecked(g.SoundE != 0);
    Edit(1022)->setText(Text(g.SoundEFile));
    setInt(1000, g.FileChkInterval);
    setInt(1001, g.BakDelayTime);
    Combo(1052)->setCurrentIndex(g.GenStyle);
    Combo(1053)->setCurrentIndex(g.YmdFmt);
    Check(1007)->setChecked(g.NoDriveDir != 0);
    Check(1026)->setChecked(g.Ignore2sec != 0);
    Check(1024)->setChecked(!g.Recycle2.raw.empty());
    Edit(1025)->setText(Text(g.Recycle2.raw));
    Check(1011)->setChecked(g.Forced != 0);
    Edit(1029)->setText(Text(g.StopApp));
}

bool CGeneralConfigDlg::ReadInteger(int id, int& value)
{
    QLineEdit* edit = Edit(id);
    bool ok = false;
    const int number = edit->text().trimmed().toInt(&ok);
    const bool lines = id == 1009;
    std::string problem;
    if (!ok || (lines && number < 0)) {
        problem = lines ? ConfigText::kEnterPositiveInteger : ConfigText::kEnterInteger;
    } else if (lines
               && (number < kLogLinesMin || number > kLogLinesMax)) {
        problem = FormatText(ConfigText::kEnterIntegerBetweenFormat, kLogLinesMin,
                             kLogLinesMax);
    }
    if (problem.empty()) {
        value = number;
        return true;
    }
    if (IPrompter* prompter = m_app.Core().Services().prompter)
        prompter->MessageBox(problem, kApplicationName,
                             MessageBoxType::kOk | MessageBoxType::kIconExclamation);
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool CGeneralConfigDlg::ReadControls(CGeneralSettings& g, CStartupOptions& options)
{
    // The number fields in the order the dialog has always checked them.
    if (!ReadInteger(1000, g.FileChkInterval) || !ReadInteger(1001, g.BakDelayTime)
        || !ReadInteger(1003, g.BakDrvAlertSize) || !ReadInteger(1009, g.LogLines)
        || !ReadInteger(1012, g.LogSize) || !ReadInteger(1028, g.DlgTimer))
        return false;
    g.DispDetailInfo = Check(1006)->isChecked() ? 1 : 0;
    g.Sound = Check(1010)->isChecked() ? 1 : 0;
    g.BakCopyPath.Assign(Text(Edit(1002)));
    g.NoDriveDir = Check(1007)->isChecked() ? 1 : 0;
    g.Forced = Check(1011)->isChecked() ? 1 : 0;
    g.DispDebugInfo = Check(1008)->isChecked() ? 1 : 0;
    g.Ignore2sec = Check(1026)->isChecked() ? 1 : 0;
    g.SoundE = Check(1014)->isChecked() ? 1 : 0;
    g.SoundW = Check(1013)->isChecked() ? 1 : 0;
    g.SoundFile = Text(Edit(1020));
    g.SoundEFile = Text(Edit(1022));
    g.SoundWFile = Text(Edit(1021));
    g.GenStyle = Combo(1052)->currentIndex();
    g.YmdFmt = Combo(1053)->currentIndex();
    g.StopApp = Text(Edit(1029));
    g.BakWait = Combo(1102)->currentIndex();
    std::string logFile = Check(1194)->isChecked() ? Text(Edit(1017)) : std::string();
    // A bare file name is placed in the backup destination.
    if (!logFile.empty() && logFile.find('/') == std::string::npos)
        logFile = g.BakCopyPath.raw + "/" + logFile;
    g.LogFile.Assign(logFile);
    g.Recycle2.Assign(Check(1024)->isChecked() ? Text(Edit(1025)) : std::string());
    for (const CStartupBox& box : kStartupBoxes) {
        const Qt::CheckState checkState = Check(box.id)->checkState();
        options.*box.field =
            checkState == Qt::PartiallyChecked ? kForcedByCommandLine : (checkState == Qt::Checked ? 1 : 0);
    }
    return true;
}

void CGeneralConfigDlg::accept()
{
    CSettingsModel& model = m_app.Core().Settings();
    CGeneralSettings values = model.general;
    CStartupOptions options = model.startup;
    if (!ReadControls(values, options))
        return;
    const CGeneralSettings& current = model.general;
    const bool restartMonitoring = values.BakCopyPath.raw != current.BakCopyPath.raw
                                   || values.Recycle2.raw != current.Recycle2.raw
                                   || values.LogLines != current.LogLines;
    m_app.Core().Storage().SaveGeneralSettings(values, options);
    if (restartMonitoring) {
        m_hold->RestartMonitoring();
    }
    CwDialog::accept();
}

void CGeneralConfigDlg::reject()
{
    m_app.Core().Storage().LoadGeneralSettings();
    CwDialog::reject();
}

void CGeneralConfigDlg::done(int result)
{
    m_hold.reset();
    CwDialog::done(result);
}

void CGeneralConfigDlg::OnLogFile()
{
    const bool on = Check(1194)->isChecked();
    if (on && Edit(1017)->text().isEmpty())
        Edit(1017)->setText(Edit(1002)->text() + QLatin1Char('/')
                            + QString::fromUtf8(ConfigText::kLogFileName));
    for (QWidget* widget : {static_cast<QWidget*>(Edit(1017)), static_cast<QWidget*>(Edit(1012)),
                            static_cast<QWidget*>(Button(1005))})
        widget->setEnabled(on && (widget != Button(1005) || PickersAvailable()));
}

void CGeneralConfigDlg::OnSound(int checkId, int editId)
{
    Edit(editId)->setEnabled(Check(checkId)->isChecked());
}

void CGeneralConfigDlg::OnRecycle()
{
    const bool on = Check(1024)->isChecked();
    QLineEdit* folder = Edit(1025);
    if (!on)
        folder->clear();
    else if (folder->text().isEmpty())
        folder->setText(QString::fromUtf8(ConfigText::kRecycleProposal));
    folder->setEnabled(on);
}

void CGeneralConfigDlg::OnGenStyle()
{
    Combo(1053)->setEnabled(IsDateStyle(Combo(1052)->currentIndex()));
}

void CGeneralConfigDlg::Browse(int buttonId, int editId, bool file, const char* prompt, bool fromField)
{
    const CGeneralSettings& g = m_app.Core().Settings().general;
    std::string initial;
    if (fromField)
        initial = Text(Edit(editId));
    else
        initial = buttonId == 1004 ? g.BakCopyPath.expanded : g.Recycle2.expanded;
    std::string chosen;
    const bool picked =
        file ? PickFile(chosen, prompt, this, initial) : PickFolder(chosen, prompt, this, initial);
    if (picked)
        Edit(editId)->setText(Text(chosen));
}

void CGeneralConfigDlg::OnFont()
{
    RunListFontCommand(m_app, this, m_applyListFont);
}
