#pragma once

// A dialog that stays open beside its owner. It owns itself once created: Cancel (when
// the owner asked for it) destroys it, it deletes itself afterwards and tells its owner
// through Closed(). While it is the active window, keyboard navigation and its shortcuts
// work as in a modal dialog; Qt's one event loop serves it, so it needs no loop of its own.

#include "framework/dialog.h"

class CwModelessDialog : public CwDialog
{
    Q_OBJECT
public:
    CwModelessDialog(int templateId, bool remember, std::string section = {});

    // Shows the dialog beside owner; false when it already exists.
    bool Create(QWidget* owner);
    // A modeless dialog cannot run modally.
    int DoModal() override { return kDialogModalRefused; }

    void SetDestroyOnCancel(bool destroy) { m_destroyOnCancel = destroy; }
    bool IsCreated() const { return m_created; }
    bool IsActive() const { return m_active; }
    QWidget* Owner() const { return m_owner; }

    // OK keeps the dialog open and hands the focus back to the owner.
    void accept() override;
    // Cancel closes the dialog when the owner asked for that, else hands the focus back.
    void reject() override;

signals:
    // The window is gone; the object deletes itself right after.
    void Closed(CwModelessDialog* dialog);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ActivateOwner();
    void Destroy();

    QWidget* m_owner = nullptr;
    bool m_active = false;
    bool m_closed = false;
    bool m_created = false;
    bool m_destroyOnCancel = false;
};
