#include "framework/dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include "framework/control_id.h"
#include "framework/profile.h"
#include "report/format_text.h"

CwDialog::CwDialog(int templateId, bool remember, QWidget* parent, std::string section)
    : QDialog(parent), m_templateId(templateId), m_remember(remember), m_section(std::move(section))
{
    if (m_section.empty())
        m_section = FormatText(DialogKey::kSectionFormat, templateId);
    if (m_remember)
        m_rect = CwProfile::GetProfileRect(m_section, DialogKey::kWindowRect, QRect());
}

CwDialog::~CwDialog()
{
    if (m_remember)
        CwProfile::WriteProfileRect(m_section, DialogKey::kWindowRect, m_rect);
}

bool CwDialog::IsResizable() const
{
    return minimumSize() != maximumSize();
}

void CwDialog::showEvent(QShowEvent* event)
{
    if (!m_initialised && !event->spontaneous()) {
        m_initialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CwDialog::OnInitDialog()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->virtualGeometry() : QRect();
    const bool sizeFits = IsResizable() || m_rect.size() == size();
    if (m_rect.width() != 0 && sizeFits && desktop.contains(m_rect)) {
        setGeometry(m_rect);
    } else {
        m_rect = QRect();
    }
    QTimer::singleShot(0, this, [this] { m_settled = true; });
}

void CwDialog::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    TrackGeometry();
}

void CwDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    TrackGeometry();
}

// Before the first show the window system is still choosing a place; only what the
// dialog does on screen afterwards is remembered.
void CwDialog::TrackGeometry()
{
    if (!m_settled)
        return;
    const QRect now = geometry();
    if (now.width() != 0 && now.height() != 0)
        m_rect = now;
}

QLineEdit* CwDialog::Edit(int id) const
{
    return FindControl<QLineEdit>(const_cast<CwDialog*>(this), id);
}

QCheckBox* CwDialog::Check(int id) const
{
    return FindControl<QCheckBox>(const_cast<CwDialog*>(this), id);
}

QComboBox* CwDialog::Combo(int id) const
{
    return FindControl<QComboBox>(const_cast<CwDialog*>(this), id);
}

QPushButton* CwDialog::Button(int id) const
{
    return FindControl<QPushButton>(const_cast<CwDialog*>(this), id);
}
