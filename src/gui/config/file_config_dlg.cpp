#include "config/file_config_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "app/application.h"
#include "config/compress_config_dlg.h"
#include "config/config_texts.h"
#include "config/pickers.h"
#include "framework/control_id.h"
#include "framework/list_font.h"
#include "platform/expand_path.h"
#include "platform/path.h"
#include "report/format_text.h"
#include "ui_file_config_dlg.h"
#include "version.h"

namespace {

constexpr int kMinutesMax = 71582;    // the largest whole number of minutes in seconds that fit
constexpr int kNearTimeMax = 4294967; // seconds the engine can still turn into milliseconds
constexpr int kMoveItem = 3;          // "移動→" in both action lists

// Fields that only the compression mode may use, and those it switches off.
constexpr int kCompressionOnly[] = {1194, 1049, 1196};
constexpr int kPlainCopyOnly[] = {1018, 1019, 1008, 1197, 1184, 1011, 1198, 1010,
                                  1199, 1023, 1201, 1024, 1202, 1009, 1012, 1187};

// A ".." button is usable exactly when the field it fills is.
constexpr std::pair<int, int> kFieldButtons[] = {{1011, 1198}, {1022, 1054}, {1008, 1197},
                                                 {1010, 1199}, {1023, 1201}, {1024, 1202}};

CPathValue CFileSetting::*const kPathFields[] = {
    &CFileSetting::No,       &CFileSetting::BakTo,     &CFileSetting::ForcedMove,
    &CFileSetting::OldMove,  &CFileSetting::ObsRunExe, &CFileSetting::ObsRunArg,
    &CFileSetting::CompFile, &CFileSetting::NewBakTo,  &CFileSetting::GenBakTo,
};

bool IsDateStyle(int genStyle)
{
    return (genStyle & 2) != 0;
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Text(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

// Equal in everything the file settings store; the compression details are the details
// dialog's, and the expanded forms follow from the raw text.
bool SameStored(const CFileSetting& a, const CFileSetting& b)
{
    CFileSetting left = a;
    left.changeHandle = b.changeHandle;
    left.changeMark = b.changeMark;
    left.CpLog = b.CpLog;
    left.CpPw = b.CpPw;
    left.CpOpt = b.CpOpt;
    for (CPathValue CFileSetting::*field : kPathFields)
        (left.*field).expanded = (b.*field).expanded;
    return left == b;
}

bool SameWatching(const CFileSetting& a, const CFileSetting& b)
{
    return a.No.raw == b.No.raw && a.Sub == b.Sub && a.Ignore == b.Ignore && a.DoInterval == b.DoInterval
           && a.NoDetect == b.NoDetect;
}

bool MonitoringChanged(const CSettingsModel& now, const CSettingsModel& before)
{
    if (now.Files != before.Files)
        return true;
    for (int i = 0; i < now.Files && i < kMaxFileSettings; ++i)
        if (!SameWatching(now.files[static_cast<std::size_t>(i)], before.files[static_cast<std::size_t>(i)]))
            return true;
    return false;
}

// A check box keeps a stored value other than 0 and 1 until the user changes the box.
void ReadFlag(int& field, bool checked)
{
    if ((field != 0) != checked)
        field = checked ? 1 : 0;
}

} // namespace

CFileConfigDlg::CFileConfigDlg(CApplication& app, QWidget* parent, std::function<void()> help,
                               std::function<int(int)> runDetails)
    : CwDialog(kTemplateId, false, parent), m_app(app), m_ui(std::make_unique<Ui::FileConfigDlg>()),
      m_help(std::move(help)), m_runDetails(std::move(runDetails))
{
    m_ui->setupUi(this);
    if (!m_runDetails)
        m_runDetails = [this](int index) { return CCompressConfigDlg::Run(m_app, index, this, m_help); };

    m_hold.emplace(m_app);

    setAcceptDrops(true);
    setWindowTitle(QString::fromUtf8(ConfigText::kFileTitlePrefix) + Text(m_app.Core().SettingsFilePath()));
    if (!PickersAvailable())
        for (const int id : {1191, 1193, 1195, 1197, 1054, 1198, 1199, 1200})
            Button(id)->setEnabled(false);

    CSettingsStorage& storage = m_app.Core().Storage();
    storage.LoadFileSettings();
    // The details move with their setting when the order changes, so the model must hold
    // what the file holds.
    storage.LoadArchiverSettings(-1);
    m_snapshot = Model();
    for (int i = 0; i < Model().Files; ++i)
        m_origin.push_back(i);
    Refresh(0);

    const CGeneralSettings& general = Model().general;
    if (!general.FontName.empty()) {
        const QFont font = ListFontFromSettings(general.FontName, general.FontData, this->font());
        for (QWidget* child : findChildren<QWidget*>())
            child->setFont(font);
    }
    m_app.SetNormalPriority();

    connect(List(), &QListWidget::currentRowChanged, this, &CFileConfigDlg::OnSelectionChanged);
    connect(Combo(1188), &QComboBox::currentIndexChanged, this, [this] { OnCompression(true); });
    connect(Combo(1184), &QComboBox::currentIndexChanged, this, [this] { OnMoveAction(1184, 1011, true); });
    connect(Combo(1185), &QComboBox::currentIndexChanged, this, [this] { OnMoveAction(1185, 1022, true); });
    connect(Check(1066), &QCheckBox::clicked, this, &CFileConfigDlg::OnLargeFile);
    connect(Check(1192), &QCheckBox::clicked, this, &CFileConfigDlg::OnPeriodic);
    connect(Button(1176), &QPushButton::clicked, this, &CFileConfigDlg::OnAdd);
    connect(Button(1177), &QPushButton::clicked, this, &CFileConfigDlg::OnDelete);
    connect(Button(1020), &QPushButton::clicked, this, [this] { OnMove(-1); });
    connect(Button(1021), &QPushButton::clicked, this, [this] { OnMove(1); });
    connect(Button(1194), &QPushButton::clicked, this, &CFileConfigDlg::OnDetails);
    connect(Button(1191), &QPushButton::clicked, this, &CFileConfigDlg::OnBrowseSource);
    for (const auto& [buttonId, editId] :
         {std::pair{1199, 1010}, std::pair{1201, 1023}, std::pair{1202, 1024}, std::pair{1198, 1011},
          std::pair{1054, 1022}})
        connect(Button(buttonId), &QPushButton::clicked, this,
                [this, editId = editId] { BrowseReplace(editId, false); });
    connect(Button(1200), &QPushButton::clicked, this, [this] { BrowseReplace(1014, true); });
    connect(Button(1196), &QPushButton::clicked, this, [this] { BrowseReplace(1049, true); });
    connect(Button(1197), &QPushButton::clicked, this, [this] { BrowseAppend(1008, false); });
    connect(Button(1193), &QPushButton::clicked, this, [this] { BrowseAppend(1006, true); });
    connect(Button(1195), &QPushButton::clicked, this, [this] { BrowseAppend(1007, true); });
    connect(Button(9), &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help();
    });
    connect(Button(1), &QPushButton::clicked, this, &CFileConfigDlg::accept);
    connect(Button(2), &QPushButton::clicked, this, &CFileConfigDlg::reject);
}

CFileConfigDlg::~CFileConfigDlg() = default;

QListWidget* CFileConfigDlg::List() const
{
    return m_ui->list1173;
}

CSettingsModel& CFileConfigDlg::Model()
{
    return m_app.Core().Settings();
}

CFileSetting& CFileConfigDlg::Record(int index)
{
    return Model().files[static_cast<std::size_t>(index)];
}

void CFileConfigDlg::LoadControls(int index)
{
    const CFileSetting& r = Record(index);
    m_loaded = r;
    // Loading is no choice of the user: no proposals.
    const QSignalBlocker block1188(Combo(1188));
    const QSignalBlocker block1184(Combo(1184));
    const QSignalBlocker block1185(Combo(1185));
    const auto setInt = [this](int id, long long value) { Edit(id)->setText(QString::number(value)); };
    Edit(1016)->setText(Text(r.No.raw));
    Check(1094)->setChecked(r.Ignore != 0);
    Check(1093)->setChecked(r.Sub != 0);
    Check(1186)->setChecked(r.NoDetect != 0);
    Check(1095)->setChecked(r.ArcMode != 0);
    Combo(1188)->setCurrentIndex(r.CompMode);
    Edit(1049)->setText(Text(r.CompFile.raw));
    Edit(1018)->setText(Text(r.DaysFrom));
    Edit(1019)->setText(Text(r.DaysTo));
    Edit(1006)->setText(Text(r.Inc));
    Edit(1007)->setText(Text(r.Exc));
    Edit(1008)->setText(Text(r.DirExc));
    Combo(1184)->setCurrentIndex(r.OldDel);
    Edit(1011)->setText(Text(r.OldMove.raw));
    Combo(1185)->setCurrentIndex(r.Forced);
    Edit(1022)->setText(Text(r.ForcedMove.raw));
    Edit(1053)->setText(Text(r.ForcedInc));
    Edit(1010)->setText(Text(r.BakTo.raw));
    Edit(1023)->setText(Text(r.NewBakTo.raw));
    Edit(1024)->setText(Text(r.GenBakTo.raw));
    setInt(1009, r.Gen);
    setInt(1012, r.NearTimeExc);
    Check(1187)->setChecked(r.SameDateExc != 0);
    const int minutes = r.DoInterval / 60;
    Check(1192)->setChecked(minutes != 0);
    setInt(1013, minutes);
    Check(1066)->setChecked(r.DlgCopyBig != 0);
    setInt(1067, r.DlgCopyBig);
    Edit(1014)->setText(Text(r.ObsRunExe.raw));
    Edit(1015)->setText(Text(r.ObsRunArg.raw));
}

bool CFileConfigDlg::ReadInteger(int id, int low, int high, bool ranged, int& value, bool quiet)
{
    QLineEdit* edit = Edit(id);
    bool ok = false;
    const int number = edit->text().trimmed().toInt(&ok);
    std::string problem;
    if (!ok)
        problem = ConfigText::kEnterInteger;
    else if (ranged && (number < low || number > high))
        problem = FormatText(ConfigText::kEnterIntegerBetweenFormat, low, high);
    if (problem.empty()) {
        value = number;
        return true;
    }
    // A field the user cannot reach (switched off by the compression or the date style)
    // keeps the stored value rather than stop every store for good.
    if (!edit->isEnabled())
        return true;
    if (quiet)
        return false;
    if (IPrompter* prompter = m_app.Core().Services().prompter)
        prompter->MessageBox(problem, kApplicationName,
                             MessageBoxType::kOk | MessageBoxType::kIconExclamation);
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool CFileConfigDlg::ReadControls(CFileSetting& record, bool quiet)
{
    // The number fields in the order the dialog has always read them. The interval is
    // only read while the periodic backup is on: off, its value is not used.
    const bool periodic = Check(1192)->isChecked();
    const bool confirmLarge = Check(1066)->isChecked();
    int minutes = record.DoInterval / 60;
    int gen = record.Gen;
    int nearTime = record.NearTimeExc;
    int large = record.DlgCopyBig;
    if ((periodic && !ReadInteger(1013, 0, kMinutesMax, true, minutes, quiet))
        || !ReadInteger(1009, 0, 0, false, gen, quiet)
        || !ReadInteger(1012, 0, kNearTimeMax, true, nearTime, quiet)
        || (confirmLarge && !ReadInteger(1067, 0, 0, false, large, quiet)))
        return false;

    CFileSetting r = record;
    r.No.Assign(Text(Edit(1016)));
    if (Combo(1184)->currentIndex() >= 0)
        r.OldDel = Combo(1184)->currentIndex();
    r.OldMove.Assign(Text(Edit(1011)));
    r.BakTo.Assign(Text(Edit(1010)));
    r.DirExc = Text(Edit(1008));
    // An interval that is no whole number of minutes stays as stored until the user
    // changes what the fields show of it.
    const int shownMinutes = m_loaded.DoInterval / 60;
    if (periodic != (shownMinutes != 0) || (periodic && minutes != shownMinutes))
        r.DoInterval = periodic ? minutes * 60 : 0;
    r.Exc = Text(Edit(1007));
    r.Gen = gen;
    r.Inc = Text(Edit(1006));
    r.NearTimeExc = nearTime;
    r.ObsRunArg.Assign(Text(Edit(1015)));
    r.ObsRunExe.Assign(Text(Edit(1014)));
    ReadFlag(r.Sub, Check(1093)->isChecked());
    ReadFlag(r.NoDetect, Check(1186)->isChecked());
    ReadFlag(r.SameDateExc, Check(1187)->isChecked());
    r.DaysFrom = Text(Edit(1018));
    r.DaysTo = Text(Edit(1019));
    ReadFlag(r.Ignore, Check(1094)->isChecked());
    r.CompFile.Assign(Text(Edit(1049)));
    r.ForcedInc = Text(Edit(1053));
    if (Combo(1185)->currentIndex() >= 0)
        r.Forced = Combo(1185)->currentIndex();
    r.ForcedMove.Assign(Text(Edit(1022)));
    ReadFlag(r.ArcMode, Check(1095)->isChecked());
    r.DlgCopyBig = confirmLarge ? large : 0;
    if (Combo(1188)->currentIndex() >= 0)
        r.CompMode = Combo(1188)->currentIndex();
    r.GenBakTo.Assign(Text(Edit(1024)));
    r.NewBakTo.Assign(Text(Edit(1023)));
    record = std::move(r);
    return true;
}

bool CFileConfigDlg::StoreControls()
{
    return ReadControls(Record(m_selection), false);
}

void CFileConfigDlg::Refresh(int index)
{
    CSettingsModel& model = Model();
    QListWidget* list = List();
    {
        const QSignalBlocker block(list);
        while (list->count() > model.Files)
            delete list->takeItem(list->count() - 1);
        while (list->count() < model.Files)
            list->addItem(QString());
        for (int i = 0; i < model.Files; ++i) {
            const std::string& source = Record(i).No.raw;
            list->item(i)->setText(source.empty() ? QString::fromUtf8(ConfigText::kDeletedSource)
                                                  : Text(source));
        }
        list->setCurrentRow(index);
    }
    m_selection = index;
    LoadControls(index);
    ApplyAllRules();

    const std::string& source = Record(index).No.raw;
    const bool sample = IsSampleSource(source);
    m_ui->group1179->setTitle(sample ? QString::fromUtf8(ConfigText::kSampleCaptionPrefix) + Text(source)
                                     : Text(source));
    // A sample is never watched: its caption says so in the warning colours.
    m_ui->group1179->setStyleSheet(
        sample ? QStringLiteral("QGroupBox::title { color: black; background-color: #ffff00; }") : QString());
}

void CFileConfigDlg::ApplyAllRules()
{
    OnCompression(false);
    OnLargeFile();
    OnMoveAction(1184, 1011, false);
    OnMoveAction(1185, 1022, false);
    OnPeriodic();
}

void CFileConfigDlg::OnSelectionChanged(int row)
{
    if (row < 0 || row == m_selection)
        return;
    if (!StoreControls()) {
        // The invalid field keeps its setting shown until it is put right.
        const QSignalBlocker block(List());
        List()->setCurrentRow(m_selection);
        return;
    }
    Refresh(row);
}

void CFileConfigDlg::OnCompression(bool propose)
{
    const bool compressed = Combo(1188)->currentIndex() > 0;
    for (const int id : kCompressionOnly)
        FindControl<QWidget>(this, id)->setEnabled(compressed);
    for (const int id : kPlainCopyOnly)
        FindControl<QWidget>(this, id)->setEnabled(!compressed);
    // Date-stamped generations are one per date: these two mean nothing then.
    if (IsDateStyle(Model().general.GenStyle)) {
        Edit(1012)->setEnabled(false);
        Check(1187)->setEnabled(false);
    }
    if (compressed && propose && Edit(1049)->text().isEmpty()) {
        std::string name = FileNameOf(WithoutTrailingSeparator(ExpandPath(Text(Edit(1016)))));
        if (name.empty())
            name = ConfigText::kArchiveNameForRoot;
        Edit(1049)->setText(Text(JoinPath(Model().general.BakCopyPath.raw, name)));
    }
    if (propose && !compressed)
        OnMoveAction(1184, 1011, false);
}

void CFileConfigDlg::OnLargeFile()
{
    const bool on = Check(1066)->isChecked();
    if (!on)
        Edit(1067)->setText(QStringLiteral("0"));
    Edit(1067)->setEnabled(on);
}

void CFileConfigDlg::OnMoveAction(int comboId, int editId, bool propose)
{
    // The old-file action is not used for compressed backups; the compression rule has
    // switched it off.
    if (comboId == 1184 && Combo(1188)->currentIndex() > 0)
        return;
    const bool move = Combo(comboId)->currentIndex() == kMoveItem;
    QLineEdit* target = Edit(editId);
    if (move && propose && target->text().isEmpty())
        target->setText(QString::fromUtf8(ConfigText::kMoveTargetProposal));
    target->setEnabled(move);
    for (const auto& [fieldId, buttonId] : kFieldButtons)
        if (fieldId == editId)
            Button(buttonId)->setEnabled(move && PickersAvailable());
}

void CFileConfigDlg::OnPeriodic()
{
    Edit(1013)->setEnabled(Check(1192)->isChecked());
}

bool CFileConfigDlg::Ask(const std::string& text, const std::string& caption, unsigned type, int wanted)
{
    IPrompter* prompter = m_app.Core().Services().prompter;
    return prompter && prompter->MessageBox(text, caption, type) == wanted;
}

void CFileConfigDlg::OnAdd()
{
    if (Model().Files >= kMaxSettings) {
        Ask(FormatText(ConfigText::kTooManySettingsFormat, kMaxSettings), kApplicationName,
            MessageBoxType::kOk | MessageBoxType::kIconExclamation, MessageBoxAnswer::kOk);
        return;
    }
    if (!StoreControls())
        return;
    const std::string source = Record(m_selection).No.raw;
    if (!Ask(FormatText(ConfigText::kAddQuestionFormat, source.c_str()), kApplicationName,
             MessageBoxType::kYesNo | MessageBoxType::kIconQuestion, MessageBoxAnswer::kYes))
        return;
    std::string folder;
    if (!PickFolder(folder, ConfigText::kPromptFolder, this, Record(m_selection).No.expanded))
        return;
    Append(folder);
}

bool CFileConfigDlg::AddFromFolder(const std::string& folder, const std::string& caption)
{
    if (Model().Files >= kMaxSettings) {
        Ask(FormatText(ConfigText::kTooManySettingsFormat, kMaxSettings), kApplicationName,
            MessageBoxType::kOk | MessageBoxType::kIconExclamation, MessageBoxAnswer::kOk);
        return false;
    }
    if (!StoreControls())
        return false;
    if (!Ask(FormatText(ConfigText::kAddQuestionFormat, Record(m_selection).No.raw.c_str()), caption,
             MessageBoxType::kYesNo | MessageBoxType::kIconQuestion, MessageBoxAnswer::kYes))
        return false;
    Append(folder);
    return true;
}

void CFileConfigDlg::Append(const std::string& folder)
{
    CSettingsModel& model = Model();
    const CFileSetting& from = Record(m_selection);
    const int n = model.Files;
    // What the shown setting does not lend comes from the defaults, never from whatever a
    // deleted setting left in the slot (its archive password, say).
    CFileSetting added;
    added.No.Assign(folder);
    added.Sub = from.Sub;
    added.Ignore = from.Ignore;
    added.DoInterval = from.DoInterval;
    added.NoDetect = from.NoDetect;
    added.BakTo = from.BakTo;
    added.Inc = from.Inc;
    added.Exc = from.Exc;
    added.Gen = from.Gen;
    added.DirExc = from.DirExc;
    added.ForcedInc = from.ForcedInc;
    added.SameDateExc = from.SameDateExc;
    added.OldDel = from.OldDel;
    added.OldMove = from.OldMove;
    added.NearTimeExc = from.NearTimeExc;
    added.ObsRunExe = from.ObsRunExe;
    added.ObsRunArg = from.ObsRunArg;
    added.DaysFrom = from.DaysFrom;
    added.DaysTo = from.DaysTo;
    added.NewBakTo = from.NewBakTo;
    added.GenBakTo = from.GenBakTo;
    Record(n) = std::move(added);
    model.Files = n + 1;
    m_origin.push_back(-1);
    Refresh(n);
}

void CFileConfigDlg::OnDelete()
{
    CSettingsModel& model = Model();
    if (model.Files <= 1) {
        Ask(ConfigText::kNeedOneSetting, kApplicationName,
            MessageBoxType::kOk | MessageBoxType::kIconExclamation, MessageBoxAnswer::kOk);
        return;
    }
    if (!Ask(FormatText(ConfigText::kDeleteQuestionFormat, Record(m_selection).No.raw.c_str()),
             kApplicationName, MessageBoxType::kYesNo | MessageBoxType::kIconQuestion,
             MessageBoxAnswer::kYes))
        return;
    for (int i = m_selection; i + 1 < model.Files; ++i)
        Exchange(i, i + 1);
    --model.Files;
    m_origin.pop_back();
    Refresh(0);
}

void CFileConfigDlg::OnMove(int step)
{
    const int target = m_selection + step;
    if (target < 0 || target >= Model().Files)
        return;
    if (!StoreControls())
        return;
    Exchange(m_selection, target);
    Refresh(target);
}

void CFileConfigDlg::Exchange(int a, int b)
{
    std::swap(Record(a), Record(b));
    std::swap(m_origin[static_cast<std::size_t>(a)], m_origin[static_cast<std::size_t>(b)]);
}

void CFileConfigDlg::OnDetails()
{
    if (!StoreControls())
        return;
    if (m_runDetails(m_selection) == QDialog::Accepted)
        m_detailsWritten = true;
    Refresh(m_selection);
}

void CFileConfigDlg::OnBrowseSource()
{
    std::string chosen;
    if (!PickFolder(chosen, ConfigText::kPromptFolder, this, ExpandPath(Text(Edit(1016)))))
        return;
    Edit(1016)->setText(Text(chosen));
    if (StoreControls())
        Refresh(m_selection);
}

void CFileConfigDlg::BrowseReplace(int editId, bool file)
{
    QLineEdit* edit = Edit(editId);
    std::string chosen;
    const bool picked = file ? PickFile(chosen, ConfigText::kPromptFile, this, Text(edit))
                             : PickFolder(chosen, ConfigText::kPromptFolder, this, ExpandPath(Text(edit)));
    if (picked)
        edit->setText(Text(chosen));
}

void CFileConfigDlg::BrowseAppend(int editId, bool file)
{
    const std::string source = ExpandPath(Text(Edit(1016)));
    std::string name;
    const bool picked = file ? PickFileName(name, ConfigText::kPromptFile, this, source)
                             : PickFolderName(name, ConfigText::kPromptFolder, this, source);
    // The root folder has no name to exclude.
    if (!picked || name.empty())
        return;
    QLineEdit* edit = Edit(editId);
    edit->setText(edit->text().isEmpty() ? Text(name) : edit->text() + QLatin1Char(';') + Text(name));
}

void CFileConfigDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CFileConfigDlg::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.isEmpty())
        return;
    const QString path = urls.first().toLocalFile();
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return;
    AddFromFolder(path.toStdString(), path.toStdString());
}

bool CFileConfigDlg::Changed() const
{
    const CSettingsModel& model = m_app.Core().Settings();
    if (model.Files != m_snapshot.Files)
        return true;
    for (int i = 0; i < model.Files && i < kMaxFileSettings; ++i)
        if (!SameStored(model.files[static_cast<std::size_t>(i)],
                        m_snapshot.files[static_cast<std::size_t>(i)]))
            return true;
    return false;
}

void CFileConfigDlg::accept()
{
    if (!StoreControls())
        return;
    CSettingsStorage& storage = m_app.Core().Storage();
    if (!storage.SaveFileSettings()) {
        // The file keeps what it had; show that rather than close as if it were saved.
        Refresh(std::min(m_selection, Model().Files - 1));
        return;
    }
    storage.LoadFileSettings();
    if (MonitoringChanged(Model(), m_snapshot)) {
        m_hold->RestartMonitoring();
    }
    CwDialog::accept();
}

void CFileConfigDlg::reject()
{
    // A field that cannot be stored holds typing of the user: that is a change too.
    CFileSetting shown = Record(m_selection);
    bool changed = true;
    if (ReadControls(shown, true)) {
        Record(m_selection) = shown;
        changed = Changed();
    }
    if (changed
        && !Ask(ConfigText::kDiscardQuestion, kApplicationName,
                MessageBoxType::kOkCancel | MessageBoxType::kIconQuestion, MessageBoxAnswer::kOk))
        return;
    if (m_detailsWritten) {
        KeepDetailsWithTheirSettings();
    } else {
        // The details moved with their settings in the model only: the file has them in
        // the old order.
        m_app.Core().Storage().LoadFileSettings();
        m_app.Core().Storage().LoadArchiverSettings(-1);
    }
    CwDialog::reject();
}

void CFileConfigDlg::KeepDetailsWithTheirSettings()
{
    // The details dialog wrote under the setting's index of the moment, which after a
    // move or delete is another setting's index in the file.
    std::vector<CFileSetting> details(m_snapshot.files.begin(), m_snapshot.files.begin() + m_snapshot.Files);
    for (int i = 0; i < Model().Files; ++i) {
        const int origin = m_origin[static_cast<std::size_t>(i)];
        if (origin < 0)
            continue;
        const CFileSetting& now = Record(i);
        CFileSetting& kept = details[static_cast<std::size_t>(origin)];
        kept.CpLog = now.CpLog;
        kept.CpPw = now.CpPw;
        kept.CpOpt = now.CpOpt;
    }
    CSettingsStorage& storage = m_app.Core().Storage();
    storage.LoadFileSettings();
    for (int i = 0; i < Model().Files && i < m_snapshot.Files; ++i) {
        CFileSetting& record = Record(i);
        const CFileSetting& kept = details[static_cast<std::size_t>(i)];
        record.CpLog = kept.CpLog;
        record.CpPw = kept.CpPw;
        record.CpOpt = kept.CpOpt;
    }
    storage.SaveFileSettings();
}

void CFileConfigDlg::done(int result)
{
    m_hold.reset();
    CwDialog::done(result);
}
