#include "config/compress_config_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>

#include "app/application.h"
#include "config/config_texts.h"
#include "config/pickers.h"
#include "engine/compress_folder.h"
#include "framework/control_id.h"
#include "framework/list_font.h"
#include "platform/path.h"
#include "ui_compress_config_dlg.h"

namespace {

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Text(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

} // namespace

CCompressConfigDlg::CCompressConfigDlg(CApplication& app, int index, QWidget* parent, bool shiftHeld,
                                       std::function<void()> help)
    : CwDialog(kTemplateId, false, parent), m_app(app), m_index(index),
      m_ui(std::make_unique<Ui::CompressConfigDlg>()), m_help(std::move(help))
{
    m_ui->setupUi(this);
    CSettingsModel& model = m_app.Core().Settings();
    const CGeneralSettings& general = model.general;
    if (!general.FontName.empty()) {
        const QFont font = ListFontFromSettings(general.FontName, general.FontData, this->font());
        for (QWidget* child : findChildren<QWidget*>())
            child->setFont(font);
    }
    CFileSetting& setting = model.files[static_cast<std::size_t>(m_index)];
    setWindowTitle(QString::fromUtf8(ConfigText::kCompressTitlePrefix) + Text(setting.No.raw));
    for (const int id : {1024, 1011, 1013})
        Edit(id)->setEnabled(shiftHeld);

    const int mode = setting.CompMode;
    m_app.Core().Storage().LoadArchiverSettings(m_index);
    Combo(1188)->setCurrentIndex(mode);
    Check(1087)->setChecked(!setting.CpLog.empty());
    Edit(1088)->setText(Text(setting.CpLog));
    Check(1085)->setChecked(!setting.CpPw.empty());
    Edit(1086)->setText(Text(setting.CpPw));
    Edit(1025)->setText(Text(setting.CpOpt));
    Edit(1022)->setText(Text(general.CpLHA));
    Edit(1008)->setText(Text(general.CpRAR));
    Edit(1010)->setText(Text(general.CpZIP));
    Edit(1024)->setText(Text(general.CpOptLHA));
    Edit(1011)->setText(Text(general.CpOptRAR));
    Edit(1013)->setText(Text(general.CpOptZIP));
    OnMode();
    OnLog();
    OnPassword();

    connect(Combo(1188), &QComboBox::currentIndexChanged, this, &CCompressConfigDlg::OnMode);
    connect(Check(1087), &QCheckBox::clicked, this, &CCompressConfigDlg::OnLog);
    connect(Check(1085), &QCheckBox::clicked, this, &CCompressConfigDlg::OnPassword);
    connect(m_ui->checkShowPassword, &QCheckBox::toggled, this,
            [this](bool show) { Edit(1086)->setEchoMode(show ? QLineEdit::Normal : QLineEdit::Password); });
    connect(Button(1023), &QPushButton::clicked, this, [this] { Browse(1022); });
    connect(Button(1009), &QPushButton::clicked, this, [this] { Browse(1008); });
    connect(Button(1021), &QPushButton::clicked, this, [this] { Browse(1010); });
    connect(Button(9), &QPushButton::clicked, this, [this] {
        if (m_help)
            m_help();
    });
    connect(Button(1), &QPushButton::clicked, this, &CCompressConfigDlg::accept);
    connect(Button(2), &QPushButton::clicked, this, &CCompressConfigDlg::reject);
}

CCompressConfigDlg::~CCompressConfigDlg() = default;

int CCompressConfigDlg::Run(CApplication& app, int index, QWidget* parent, std::function<void()> help)
{
    const bool shift = (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0;
    CCompressConfigDlg dialog(app, index, parent, shift, std::move(help));
    return dialog.DoModal();
}

void CCompressConfigDlg::OnMode()
{
    const int mode = Combo(1188)->currentIndex();
    const bool encrypts = mode == CompressionMode::kRar || mode == CompressionMode::kZip;
    Check(1085)->setEnabled(encrypts);
    Edit(1086)->setEnabled(encrypts);
    m_ui->checkShowPassword->setEnabled(encrypts);
}

void CCompressConfigDlg::OnLog()
{
    const bool on = Check(1087)->isChecked();
    QLineEdit* log = Edit(1088);
    if (!on) {
        log->clear();
    } else if (log->text().isEmpty()) {
        const CSettingsModel& model = m_app.Core().Settings();
        // The root folder has no name: its log is just the suffix.
        const std::string source =
            FileNameOf(WithoutTrailingSeparator(model.files[static_cast<std::size_t>(m_index)].No.expanded));
        log->setText(Text(JoinPath(model.general.BakCopyPath.raw, source + ConfigText::kArchiverLogSuffix)));
    }
    log->setEnabled(on);
}

void CCompressConfigDlg::OnPassword()
{
    const bool on = Check(1085)->isChecked();
    QLineEdit* password = Edit(1086);
    if (!on)
        password->clear();
    else if (password->text().isEmpty())
        password->setText(QString::fromUtf8(ConfigText::kPasswordProposal));
    password->setEnabled(on);
    m_ui->checkShowPassword->setEnabled(on);
}

void CCompressConfigDlg::Browse(int editId)
{
    std::string chosen;
    if (PickFile(chosen, ConfigText::kPromptFile, this, Text(Edit(editId))))
        Edit(editId)->setText(Text(chosen));
}

void CCompressConfigDlg::accept()
{
    CSettingsModel& model = m_app.Core().Settings();
    CFileSetting& setting = model.files[static_cast<std::size_t>(m_index)];
    setting.CompMode = Combo(1188)->currentIndex();
    setting.CpLog = Text(Edit(1088));
    setting.CpPw = Text(Edit(1086));
    setting.CpOpt = Text(Edit(1025));
    CGeneralSettings& general = model.general;
    general.CpLHA = Text(Edit(1022));
    general.CpRAR = Text(Edit(1008));
    general.CpZIP = Text(Edit(1010));
    general.CpOptLHA = Text(Edit(1024));
    general.CpOptRAR = Text(Edit(1011));
    general.CpOptZIP = Text(Edit(1013));
    m_app.Core().Storage().SaveArchiverSettings(m_index);
    CwDialog::accept();
}
