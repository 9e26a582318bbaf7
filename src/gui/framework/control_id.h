#pragma once

// Controls carry the numeric ids of the window templates as the dynamic property
// "controlId", and commands are actions whose data() is the command id, so that code and
// tests address them by number rather than by position or caption.

#include <QAction>
#include <QWidget>

inline constexpr const char* kControlIdProperty = "controlId";

inline void SetControlId(QWidget* widget, int id)
{
    widget->setProperty(kControlIdProperty, id);
}

inline int ControlId(const QWidget* widget)
{
    const QVariant id = widget->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

// The first child of root (or root itself) that carries the id.
template <typename T = QWidget> T* FindControl(QWidget* root, int id)
{
    if (root && ControlId(root) == id)
        if (T* self = qobject_cast<T*>(root))
            return self;
    for (T* child : root->findChildren<T*>())
        if (ControlId(child) == id)
            return child;
    return nullptr;
}

// The action of root's window (or any child) whose data() is the command id.
inline QAction* FindCommand(QWidget* root, int commandId)
{
    for (QAction* action : root->findChildren<QAction*>())
        if (action->data().isValid() && action->data().toInt() == commandId)
            return action;
    return nullptr;
}
