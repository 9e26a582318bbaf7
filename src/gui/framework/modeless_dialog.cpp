#include "framework/modeless_dialog.h"

#include <QCloseEvent>
#include <QEvent>

CwModelessDialog::CwModelessDialog(int templateId, bool remember, std::string section)
    : CwDialog(templateId, remember, nullptr, std::move(section))
{
}

bool CwModelessDialog::Create(QWidget* owner)
{
    if (m_created || m_closed)
        return false;
    m_owner = owner;
    // Owned by the owner's window (kept above it), but not modal: the owner stays usable.
    setParent(owner, windowFlags() | Qt::Dialog);
    setModal(false);
    show();
    m_created = true;
    return true;
}

void CwModelessDialog::ActivateOwner()
{
    if (m_owner) {
        m_owner->activateWindow();
        m_owner->raise();
    }
}

void CwModelessDialog::accept()
{
    ActivateOwner();
}

void CwModelessDialog::reject()
{
    if (m_destroyOnCancel)
        Destroy();
    else
        ActivateOwner();
}

void CwModelessDialog::closeEvent(QCloseEvent* event)
{
    // The title bar's close button is Cancel.
    event->ignore();
    reject();
}

void CwModelessDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange)
        m_active = isActiveWindow();
    CwDialog::changeEvent(event);
}

void CwModelessDialog::Destroy()
{
    if (m_closed)
        return;
    hide();
    m_created = false;
    m_closed = true;
    emit Closed(this);
    deleteLater();
}
