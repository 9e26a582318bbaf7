#include "config/folder_backup_dlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/application.h"
#include "config/tool_texts.h"
#include "engine/backup_processor.h"
#include "framework/control_id.h"
#include "framework/list_font.h"
#include "ui_folder_backup_dlg.h"
#include "version.h"

CFolderBackupDlg::CFolderBackupDlg(CApplication& app, int mode, QWidget* parent)
    : CwDialog(kTemplateId, false, parent), m_app(app), m_ui(std::make_unique<Ui::FolderBackupDlg>()),
      m_mode(mode)
{
    m_ui->setupUi(this);

    m_hold.emplace(m_app);

    FillList();
    ApplyMode();
    const CGeneralSettings& general = m_app.Core().Settings().general;
    if (!general.FontName.empty()) {
        const QFont font = ListFontFromSettings(general.FontName, general.FontData, this->font());
        for (QWidget* child : findChildren<QWidget*>())
            child->setFont(font);
    }

    connect(m_ui->button3, &QPushButton::clicked, this, &CFolderBackupDlg::OnSelectAll);
    connect(m_ui->button1, &QPushButton::clicked, this, &CFolderBackupDlg::accept);
    connect(m_ui->button2, &QPushButton::clicked, this, &CFolderBackupDlg::reject);
}

CFolderBackupDlg::~CFolderBackupDlg() = default;

void CFolderBackupDlg::FillList()
{
    const CSettingsModel& model = m_app.Core().Settings();
    QListWidget* list = m_ui->list1173;
    list->clear();
    for (int index = 0; index < model.Files && index < kMaxFileSettings; ++index) {
        const CFileSetting& setting = model.files[static_cast<std::size_t>(index)];
        QString text;
        if (setting.No.expanded.empty()) {
            text = QString::fromUtf8(ToolText::kDeletedSetting);
        } else if (IsSampleSource(setting.No.expanded)) {
            continue;
        } else {
            const std::string& destination =
                setting.BakTo.raw.empty() ? model.general.BakCopyPath.raw : setting.BakTo.raw;
            text = QString::fromStdString(setting.No.raw + ToolText::kSettingArrow + destination);
        }
        auto* item = new QListWidgetItem(text, list);
        item->setData(Qt::UserRole, index);
    }
    // The first use of the toggle: nothing is selected, and the next press selects all.
    OnSelectAll();
}

void CFolderBackupDlg::ApplyMode()
{
    if (m_mode == ProcessorMode::kDeleteGenerations) {
        setWindowTitle(QString::fromUtf8(ToolText::kGenerationsTitle));
        m_ui->text1060->setText(QString::fromUtf8(ToolText::kGenerationsText));
        m_ui->check1059->hide();
        m_ui->button1->setText(QString::fromUtf8(ToolText::kGenerationsOk));
        return;
    }
    // The generations to keep only mean something to the deletion.
    m_ui->label1109->hide();
    m_ui->edit1108->hide();
    m_ui->label1110->hide();
    if (m_mode == ProcessorMode::kBackupState) {
        setWindowTitle(QString::fromUtf8(ToolText::kStateTitle));
        m_ui->text1060->setText(QString::fromUtf8(ToolText::kStateText));
        m_ui->check1059->hide();
        m_ui->button3->hide();
        m_ui->check1061->hide();
        return;
    }
    setWindowTitle(QString::fromUtf8(ToolText::kBackupTitle));
    m_ui->text1060->setText(QString::fromUtf8(ToolText::kBackupText));
}

void CFolderBackupDlg::OnSelectAll()
{
    m_selectAll = m_selectAll != 0 ? 0 : 1;
    if (m_selectAll != 0)
        m_ui->list1173->selectAll();
    else
        m_ui->list1173->clearSelection();
}

void CFolderBackupDlg::accept()
{
    QList<QListWidgetItem*> selected = m_ui->list1173->selectedItems();
    if (selected.isEmpty())
        return;
    // Read in every mode, hidden or not: a hidden field holds 0.
    bool isNumber = false;
    const int generations = m_ui->edit1108->text().trimmed().toInt(&isNumber);
    if (!isNumber) {
        if (IPrompter* prompter = m_app.Core().Services().prompter)
            prompter->MessageBox(ToolText::kEnterInteger, kApplicationName,
                                 MessageBoxType::kOk | MessageBoxType::kIconExclamation);
        m_ui->edit1108->setFocus();
        m_ui->edit1108->selectAll();
        return;
    }
    m_choices.contentCompare = m_ui->check1059->isChecked() ? 1 : 0;
    m_choices.testMode = m_ui->check1061->isChecked() ? 1 : 0;
    m_choices.generationsToKeep = generations;

    CSettingsModel& model = m_app.Core().Settings();
    std::sort(selected.begin(), selected.end(), [this](QListWidgetItem* a, QListWidgetItem* b) {
        return m_ui->list1173->row(a) > m_ui->list1173->row(b);
    });
    for (QListWidgetItem* item : selected) {
        const int index = item->data(Qt::UserRole).toInt();
        if (index >= 0 && index < kMaxFileSettings)
            model.files[static_cast<std::size_t>(index)].changeMark = ChangeMark::kRequested;
    }
    CwDialog::accept();
}

void CFolderBackupDlg::done(int result)
{
    m_hold.reset();
    CwDialog::done(result);
}
