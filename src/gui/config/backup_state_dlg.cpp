#include "config/backup_state_dlg.h"

#include <QComboBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStyle>
#include <cstring>
#include <limits>

#include "app/application.h"
#include "config/tool_texts.h"
#include "framework/control_id.h"
#include "framework/list_ctl.h"
#include "framework/list_font.h"
#include "report/format_text.h"
#include "settings/settings_model.h"
#include "ui_backup_state_dlg.h"

namespace {

// Wide enough for the state's icon and text, a date with seconds and the type names of
// the desktop in the default font; widths the user set are kept in the list's section.
const std::vector<int> kDefaultWidths{140, 200, 100, 130, 140, 260};

int StateIndex(EFileBackupState state)
{
    return static_cast<int>(state);
}

const char* StateText(EFileBackupState state)
{
    switch (state) {
    case EFileBackupState::Equal:
        return ToolText::kStateEqual;
    case EFileBackupState::Changed:
        return ToolText::kStateChanged;
    case EFileBackupState::New:
        return ToolText::kStateNew;
    case EFileBackupState::BackupOnly:
        return ToolText::kStateBackupOnly;
    case EFileBackupState::Excluded:
        return ToolText::kStateExcluded;
    }
    return "";
}

QString TimeText(std::time_t time)
{
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(time))
        .toString(QString::fromUtf8(ToolText::kDateTimeFormat));
}

// Shown bytes are the file's name decoded for display only; the row keeps the bytes.
QString DisplayText(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString TypeText(const CBackupStateRow& row)
{
    if (row.isFolder)
        return QString::fromUtf8(ToolText::kFolderType);
    if (row.isLink)
        return QString::fromUtf8(ToolText::kLinkType);
    static const QMimeDatabase database;
    return database.mimeTypeForFile(DisplayText(row.name), QMimeDatabase::MatchExtension).comment();
}

QString InfoText(const CBackupStateRow& row)
{
    QStringList parts;
    if (row.generations > 0)
        parts << QString::fromStdString(FormatText(ToolText::kGenerationsFormat, row.generations,
                                                   TimeText(row.newestGeneration).toUtf8().constData()));
    if (!row.letters.empty())
        parts << QString::fromStdString(FormatText(ToolText::kDifferenceFormat, row.letters.c_str()));
    if (row.state == EFileBackupState::Changed && row.backupNewer)
        parts << QString::fromUtf8(ToolText::kBackupNewer);
    return parts.join(QString::fromUtf8(ToolText::kInfoSeparator));
}

std::vector<QIcon> StateIcons(const QStyle* style)
{
    return {style->standardIcon(QStyle::SP_DialogApplyButton), style->standardIcon(QStyle::SP_BrowserReload),
            style->standardIcon(QStyle::SP_FileIcon), style->standardIcon(QStyle::SP_TrashIcon),
            style->standardIcon(QStyle::SP_DialogCancelButton)};
}

} // namespace

CBackupStateDlg::CBackupStateDlg(CApplication& app, int settingIndex)
    : CwModelessDialog(kTemplateId, true), m_app(app), m_ui(std::make_unique<Ui::BackupStateDlg>()),
      m_settingIndex(settingIndex)
{
    m_ui->setupUi(this);
    CwListCtl* list = m_ui->list1036;
    list->SetupColumns(StateIcons(style()),
                       {QString::fromUtf8(ToolText::kColumnState), QString::fromUtf8(ToolText::kColumnName),
                        QString::fromUtf8(ToolText::kColumnSize), QString::fromUtf8(ToolText::kColumnType),
                        QString::fromUtf8(ToolText::kColumnModified),
                        QString::fromUtf8(ToolText::kColumnInfo)},
                       kDefaultWidths);
    // Every file of the setting is listed: no oldest row gives way.
    list->SetRowLimit(std::numeric_limits<int>::max());
    const CGeneralSettings& general = m_app.Core().Settings().general;
    if (!general.FontName.empty()) {
        const QFont font = ListFontFromSettings(general.FontName, general.FontData, this->font());
        for (QWidget* child : findChildren<QWidget*>())
            child->setFont(font);
    }
    m_sliceTimer.setInterval(0);
    connect(&m_sliceTimer, &QTimer::timeout, this, [this] { ScanSlice(); });
    connect(m_ui->button2, &QPushButton::clicked, this, &CBackupStateDlg::Refresh);
    connect(m_ui->button1074, &QPushButton::clicked, this, &CBackupStateDlg::reject);
    connect(m_ui->combo1076, &QComboBox::activated, this,
            [this](int item) { ChooseSetting(m_ui->combo1076->itemData(item).toInt()); });
    connect(list, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        const int row = m_ui->list1036->Model().ListRow(index.row());
        if (row >= 0 && row < static_cast<int>(m_rows.size()))
            emit RowActivated(m_rows[static_cast<std::size_t>(row)].sourcePath,
                              m_rows[static_cast<std::size_t>(row)].backupPath);
    });
    UpdateTitle();
    Refresh();
}

CBackupStateDlg::~CBackupStateDlg() = default;

CwListCtl* CBackupStateDlg::List() const
{
    return m_ui->list1036;
}

QString CBackupStateDlg::StatusText() const
{
    return m_ui->text1072->text();
}

void CBackupStateDlg::FillSources()
{
    QComboBox* combo = m_ui->combo1076;
    combo->clear();
    combo->addItem(QString::fromUtf8(ToolText::kChooseSource), -1);
    const CSettingsModel& model = m_app.Core().Settings();
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index) {
        const CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
        if (setting.No.expanded.empty() || IsSampleSource(setting.No.expanded))
            continue;
        combo->addItem(DisplayText(setting.No.raw), index);
    }
    combo->setCurrentIndex(std::max(0, combo->findData(m_settingIndex)));
}

void CBackupStateDlg::UpdateTitle()
{
    QString title = QString::fromUtf8(ToolText::kStateWindowTitle);
    const CSettingsModel& model = m_app.Core().Settings();
    if (m_settingIndex >= 0 && m_settingIndex < model.Files && m_settingIndex < kMaxFileSettings) {
        const CFileSetting& setting = model.files[static_cast<std::size_t>(m_settingIndex)];
        const std::string& destination =
            setting.BakTo.expanded.empty() ? model.general.BakCopyPath.expanded : setting.BakTo.expanded;
        title += QString::fromUtf8(ToolText::kTitleSeparator) + DisplayText(setting.No.expanded)
                 + QString::fromUtf8(ToolText::kTitleDestination) + DisplayText(destination);
    }
    setWindowTitle(title);
}

void CBackupStateDlg::ChooseSetting(int settingIndex)
{
    m_settingIndex = settingIndex;
    m_ui->combo1076->setCurrentIndex(std::max(0, m_ui->combo1076->findData(settingIndex)));
    UpdateTitle();
    Refresh();
}

void CBackupStateDlg::SetStatus(const QString& text)
{
    m_ui->text1072->setText(text);
}

void CBackupStateDlg::Refresh()
{
    m_sliceTimer.stop();
    m_scan.reset();
    m_rows.clear();
    m_counts.fill(0);
    m_ui->list1036->DeleteAllRows();
    // The file settings may have been edited since the window opened.
    FillSources();
    const CSettingsModel& model = m_app.Core().Settings();
    if (m_settingIndex < 0 || m_settingIndex >= model.Files || m_settingIndex >= kMaxFileSettings) {
        SetStatus(QString::fromUtf8(ToolText::kReady));
        return;
    }
    const CFileSetting& setting = model.files[static_cast<std::size_t>(m_settingIndex)];
    m_scan = std::make_unique<CBackupStateScan>(m_app.Core(), setting);
    SetStatus(QString::fromStdString(FormatText(ToolText::kScanningFormat, 0L, setting.No.expanded.c_str())));
    m_sliceTimer.start();
}

bool CBackupStateDlg::ScanSlice()
{
    if (!m_scan)
        return false;
    std::vector<CBackupStateRow> rows;
    const bool more = m_scan->Step(m_sliceEntries, rows);
    for (const CBackupStateRow& row : rows)
        AddRow(row);
    if (!more) {
        Finish();
        return false;
    }
    SetStatus(QString::fromStdString(
        FormatText(ToolText::kScanningFormat, m_scan->EntriesSeen(), m_scan->CurrentFolder().c_str())));
    return true;
}

void CBackupStateDlg::AddRow(const CBackupStateRow& row)
{
    CwListRow cells;
    cells.icon = StateIndex(row.state);
    cells.cells << QString::fromUtf8(StateText(row.state)) << DisplayText(row.name)
                << (row.size < 0 ? QString() : QString::number(row.size)) << TypeText(row)
                << TimeText(row.modified) << InfoText(row);
    m_ui->list1036->AppendRow(std::move(cells), false);
    ++m_counts[static_cast<std::size_t>(StateIndex(row.state))];
    m_rows.push_back(row);
}

void CBackupStateDlg::Finish()
{
    m_sliceTimer.stop();
    const int error = m_scan ? m_scan->SourceError() : 0;
    const std::string source =
        m_app.Core().Settings().files[static_cast<std::size_t>(m_settingIndex)].No.expanded;
    m_scan.reset();
    m_ui->list1036->Refresh();
    if (error != 0) {
        SetStatus(QString::fromStdString(FormatText(ToolText::kSourceUnreadableFormat,
                                                    (source + " (" + std::strerror(error) + ")").c_str())));
        return;
    }
    SetStatus(QString::fromUtf8(ToolText::kReady)
              + QString::fromStdString(FormatText(ToolText::kCountsFormat, ToolText::kStateEqual, m_counts[0],
                                                  ToolText::kStateChanged, m_counts[1], ToolText::kStateNew,
                                                  m_counts[2], ToolText::kStateBackupOnly, m_counts[3],
                                                  ToolText::kStateExcluded, m_counts[4])));
}

void CBackupStateDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape is the refresh button's key here, as it has always been; the window closes
    // by its close button or the title bar.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Refresh();
        return;
    }
    CwModelessDialog::keyPressEvent(event);
}
