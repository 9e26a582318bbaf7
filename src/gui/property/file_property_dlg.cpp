#include "property/file_property_dlg.h"

#include <QCheckBox>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

#include "engine/file_operation.h"
#include "framework/control_id.h"
#include "framework/list_font.h"
#include "platform/file_attributes.h"
#include "platform/path.h"
#include "property/compare_window.h"
#include "property/desktop_shell.h"
#include "property/property_texts.h"
#include "report/format_text.h"
#include "settings/application_core.h"
#include "ui_file_property_dlg.h"
#include "version.h"

namespace {

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

QString DateText(std::time_t seconds)
{
    std::tm local{};
    localtime_r(&seconds, &local);
    return Text(FormatText(PropertyText::kDateFormat, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour, local.tm_min, local.tm_sec));
}

// The folder of a path as the dialog shows it: ending with the separator.
std::string LocationOf(const std::string& path)
{
    if (path.empty())
        return {};
    std::string location = ParentPath(path);
    if (location.empty() || location.back() != kPathSeparator)
        location += kPathSeparator;
    return location;
}

} // namespace

// What one side shows. Type, size, times and attributes stay as they were when the file
// has gone, so that the details of a just deleted backup remain readable.
struct CFilePropertyDlg::CSide
{
    std::string path;
    QString name;
    QString location;
    QIcon icon;
    QString type;
    QString size;
    QString created;
    QString modified;
    QString accessed;
    bool readOnly = false;
    bool hidden = false;
    bool archive = false;
    bool system = false;
    bool exists = false;
    // Enabled buttons: editor, association, folder, file manager, copy / delete.
    bool editor = false;
    bool association = false;
    bool folder = false;
    bool fileManager = false;
    bool action = false;
};

CFilePropertyDlg::CFilePropertyDlg(CApplicationCore& core, CDesktopShell& shell, ManualCopy manualCopy,
                                   const CFileProperties& properties, QWidget* parent)
    : QDialog(parent), m_core(core), m_shell(shell), m_manualCopy(std::move(manualCopy)),
      m_properties(properties), m_ui(std::make_unique<Ui::FilePropertyDlg>()),
      m_source(std::make_unique<CSide>()), m_destination(std::make_unique<CSide>())
{
    m_ui->setupUi(this);
    SetControlId(this, kTemplateId);
    auto connectButton = [this](int id, auto handler) {
        connect(Button(id), &QPushButton::clicked, this, handler);
    };
    for (const bool source : {true, false}) {
        const PropertyId::CSideIds& ids = source ? PropertyId::kSource : PropertyId::kDestination;
        connectButton(ids.editor, [this, source] { OnEditor(source); });
        connectButton(ids.association, [this, source] { OnAssociation(source); });
        connectButton(ids.folder, [this, source] { OnFolder(source); });
        connectButton(ids.fileManager, [this, source] { OnFileManager(source); });
    }
    connectButton(PropertyId::kSourceCopy, [this] { OnCopy(); });
    connectButton(PropertyId::kDestinationDelete, [this] { OnDelete(); });
    connectButton(PropertyId::kCompare, [this] { OnCompare(); });
    connectButton(1, [this] { accept(); });
    connectButton(2, [this] { reject(); });

    const CGeneralSettings& general = m_core.Settings().general;
    if (!general.FontName.empty())
        setFont(ListFontFromSettings(general.FontName, general.FontData, font()));
    for (const auto& [id, text] : {std::pair{PropertyId::kMessage, &m_properties.message},
                                   std::pair{PropertyId::kInfo, &m_properties.info}}) {
        auto* edit = static_cast<QLineEdit*>(Control(id));
        edit->setText(Text(*text));
        edit->setCursorPosition(0);
    }
    FillSides();
    // Wide enough for the usual folder paths to show whole.
    resize(std::max(sizeHint().width(), 880), sizeHint().height());
    Button(1)->setFocus();
}

CFilePropertyDlg::~CFilePropertyDlg() = default;

CCompareWindow* CFilePropertyDlg::CompareWindow() const
{
    return m_compareWindow;
}

QWidget* CFilePropertyDlg::Control(int id) const
{
    return FindControl(const_cast<CFilePropertyDlg*>(this), id);
}

QPushButton* CFilePropertyDlg::Button(int id) const
{
    return qobject_cast<QPushButton*>(Control(id));
}

void CFilePropertyDlg::FillSides()
{
    FillSide(*m_source, m_properties.source);
    FillSide(*m_destination, m_properties.destination);
    ShowSide(*m_source, PropertyId::kSource);
    ShowSide(*m_destination, PropertyId::kDestination);
    Button(PropertyId::kSourceCopy)->setEnabled(m_source->action && !m_properties.destination.empty());
    Button(PropertyId::kDestinationDelete)->setEnabled(m_destination->action);
}

void CFilePropertyDlg::FillSide(CSide& side, const std::string& path)
{
    side.path = path;
    side.name = Text(FileNameOf(path));
    side.location = Text(LocationOf(path));
    side.editor = side.association = side.folder = side.fileManager = side.action = true;

    struct stat linkStatus
    {
    };
    side.exists = !path.empty() && lstat(path.c_str(), &linkStatus) == 0;
    if (!side.exists) {
        side.editor = side.association = side.action = false;
        if (path.empty())
            side.folder = side.fileManager = false;
        side.icon = QIcon();
        return;
    }

    // Read before the type is sniffed from the contents, so that the access time is the
    // one before this dialog looked. A link is shown as what it points to; a dangling one as the link itself.
    struct statx status
    {
    };
    const bool followed = statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &status) == 0;
    if (!followed)
        statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &status);
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name);
    // Content the type database cannot name has no application to open it with.
    const QString comment = type.isValid() && !type.isDefault() ? type.comment() : QString();
    side.type = comment.isEmpty() ? QString::fromUtf8(PropertyText::kNoTypeName) : comment;
    side.association = !comment.isEmpty();
    side.icon =
        QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(),
                                                           style()->standardIcon(QStyle::SP_FileIcon)));

    const auto bytes = static_cast<unsigned long>(status.stx_size);
    side.size = Text(FormatText(PropertyText::kSizeFormat, static_cast<double>(bytes) / 1024.0, bytes));
    side.created = (status.stx_mask & STATX_BTIME) ? DateText(status.stx_btime.tv_sec) : QString();
    side.modified = DateText(status.stx_mtime.tv_sec);
    side.accessed = DateText(status.stx_atime.tv_sec);
    side.readOnly = IsReadOnlyMode(status.stx_mode);
    side.hidden = IsHiddenName(FileNameOf(path));
    side.archive = HasArchiveBit(path);
    side.system = false;
}

void CFilePropertyDlg::ShowSide(const CSide& side, const PropertyId::CSideIds& ids)
{
    auto setText = [this](int id, const QString& text) {
        auto* edit = static_cast<QLineEdit*>(Control(id));
        edit->setText(text);
        edit->setCursorPosition(0);
    };
    setText(ids.name, side.name);
    setText(ids.type, side.type);
    setText(ids.location, side.location);
    setText(ids.size, side.size);
    setText(ids.created, side.created);
    setText(ids.modified, side.modified);
    setText(ids.accessed, side.accessed);
    auto* icon = static_cast<QLabel*>(Control(ids.icon));
    icon->setPixmap(side.icon.isNull() ? QPixmap() : side.icon.pixmap(32, 32));
    const std::pair<int, bool> checks[] = {{ids.readOnly, side.readOnly},
                                           {ids.hidden, side.hidden},
                                           {ids.archive, side.archive},
                                           {ids.system, side.system}};
    for (const auto& [id, on] : checks)
        static_cast<QCheckBox*>(Control(id))->setChecked(on);
    const std::pair<int, bool> buttons[] = {{ids.editor, side.editor},
                                            {ids.association, side.association},
                                            {ids.folder, side.folder},
                                            {ids.fileManager, side.fileManager}};
    for (const auto& [id, on] : buttons)
        Button(id)->setEnabled(on);
}

void CFilePropertyDlg::CannotOpen()
{
    if (IMessageSink* sink = m_core.Services().sink)
        sink->Beep(EBeep::Exclamation);
    if (IPrompter* prompter = m_core.Services().prompter)
        prompter->MessageBox(PropertyText::kCannotOpen, kApplicationName, MessageBoxType::kIconExclamation);
}

void CFilePropertyDlg::OnEditor(bool source)
{
    const CSide& side = source ? *m_source : *m_destination;
    std::vector<std::string> words = m_shell.TextEditor();
    bool started = false;
    if (words.empty()) {
        // Without a text editor named by the desktop, the file's own application.
        started = m_shell.Open(side.path);
    } else {
        const std::string program = words.front();
        words.erase(words.begin());
        words.push_back(side.path);
        started = m_shell.Start(program, words);
    }
    if (!started)
        CannotOpen();
}

void CFilePropertyDlg::OnAssociation(bool source)
{
    if (!m_shell.Open((source ? *m_source : *m_destination).path))
        CannotOpen();
}

void CFilePropertyDlg::OnFolder(bool source)
{
    if (!m_shell.Open(LocationOf((source ? *m_source : *m_destination).path)))
        CannotOpen();
}

void CFilePropertyDlg::OnFileManager(bool source)
{
    const CSide& side = source ? *m_source : *m_destination;
    if (!m_shell.ShowInFileManager(side.exists ? side.path : LocationOf(side.path)))
        CannotOpen();
}

void CFilePropertyDlg::OnCopy()
{
    if (m_manualCopy)
        m_manualCopy(m_properties.source, m_properties.destination);
    FillSides();
}

void CFilePropertyDlg::OnDelete()
{
    Button(1)->setFocus();
    const std::string path = m_properties.destination;
    IPrompter* prompter = m_core.Services().prompter;
    if (!prompter
        || prompter->MessageBox(FormatText(PropertyText::kDeleteQuestionFormat, path.c_str()),
                                kApplicationName, MessageBoxType::kYesNo | MessageBoxType::kIconQuestion)
               != MessageBoxAnswer::kYes)
        return;
    CFileOperation operation(m_core);
    const bool recycled = operation.Recycle(path) == 0;
    IMessageSink* sink = m_core.Services().sink;
    if (recycled) {
        m_properties.destination.clear();
        if (sink)
            sink->Beep(EBeep::Information);
    } else {
        // The backup is still there; saying nothing would look like success.
        const std::string suffix = SystemErrorSuffix();
        if (sink)
            sink->Beep(EBeep::Exclamation);
        prompter->MessageBox(FormatText(PropertyText::kCannotDeleteFormat, path.c_str(), suffix.c_str()),
                             kApplicationName, MessageBoxType::kIconExclamation);
    }
    FillSides();
}

void CFilePropertyDlg::OnCompare()
{
    const std::string& left = m_properties.source;
    const std::string& right = m_properties.destination;
    std::string tried;
    for (const char* tool : CompareText::kDiffTools) {
        const std::string program = m_shell.FindProgram(tool);
        if (program.empty())
            continue;
        if (m_shell.Start(program, {left, right}))
            return;
        tried = tool;
    }
    auto* window = new CCompareWindow(left, right, this);
    if (window->Result().kind != CCompareResult::Unreadable) {
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (m_compareWindow)
            m_compareWindow->close();
        m_compareWindow = window;
        window->show();
        return;
    }
    delete window;
    if (tried.empty())
        tried = CompareText::kTitle;
    if (IPrompter* prompter = m_core.Services().prompter)
        prompter->MessageBox(
            FormatText(
                PropertyText::kCannotStartFormat, tried.c_str(),
                FormatText(PropertyText::kCompareArgumentsFormat, left.c_str(), right.c_str()).c_str()),
            kApplicationName, MessageBoxType::kIconExclamation);
}

void ShowFileProperties(CApplicationCore& core, CDesktopShell& shell, CFilePropertyDlg::ManualCopy manualCopy,
                        const CFileProperties& properties, QWidget* parent)
{
    CFilePropertyDlg dialog(core, shell, std::move(manualCopy), properties, parent);
    dialog.exec();
}
