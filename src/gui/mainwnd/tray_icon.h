#pragma once

// The program's icon in the desktop's notification area. It shows the backup state by
// resource id (128 ready, 130 disabled, 131 hold, 132 processing); the same id twice in a
// row leaves the tray alone, so blinking in the Ready state never touches it. Without a
// tray the record is kept all the same, and nothing is shown.

#include <QObject>
#include <QString>

class QSystemTrayIcon;

class CTrayIcon final : public QObject
{
    Q_OBJECT
public:
    explicit CTrayIcon(QObject* parent = nullptr);
    ~CTrayIcon() override;

    // show false removes the icon; iconId 0 is not allowed here (the caller chooses the
    // state's icon). True when the tray took the change (or was left alone).
    bool Set(bool show, int iconId);
    int CurrentIcon() const { return m_current; }
    // How often the tray was asked to change: blinking in Ready must not raise it.
    int TrayOperations() const { return m_operations; }

    // "Vesk Realtime Backup - " + the settings path, cut to the tip's capacity.
    void SetSettingsPath(const QString& path);
    QString Tip() const { return m_tip; }
    static QString MakeTip(const QString& path);

    static bool TrayAvailable();
    QSystemTrayIcon* TrayIcon() const { return m_tray; }

signals:
    void LeftClicked();
    void RightClicked();

private:
    QSystemTrayIcon* m_tray = nullptr;
    QString m_tip;
    int m_current = 0;
    int m_operations = 0;
};

// The image of a state icon, drawn from the program's SVGs.
class QIcon;
QIcon StateIcon(int iconId);
