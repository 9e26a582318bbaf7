#pragma once

// The common base of the program's documents. A document holds no data of its own; its
// title is what the frame shows (the settings file's name).

#include <QObject>
#include <QString>

class CwDocument : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    const QString& Title() const { return m_title; }
    void SetTitle(const QString& title)
    {
        if (title == m_title)
            return;
        m_title = title;
        emit TitleChanged(m_title);
    }

signals:
    void TitleChanged(const QString& title);

private:
    QString m_title;
};
