#pragma once

// The main window base: it comes back at its last place, size and state with its bars as
// they were. The placement is read when the frame is first shown and written when it is
// destroyed, in the frame's section of the settings file in use.

#include <QMainWindow>
#include <QRect>
#include <optional>
#include <string>

class QStatusBar;
class QToolBar;

namespace FrameKey {
inline constexpr const char* kSection = "CwFrameWnd";
inline constexpr const char* kWindowRect = "WindowRect";
inline constexpr const char* kIconize = "Iconize";
inline constexpr const char* kMaximize = "Maximize";
inline constexpr const char* kToolBar = "ToolBar";
inline constexpr const char* kStatusBar = "StatusBar";
} // namespace FrameKey

class CwFrameWnd : public QMainWindow
{
    Q_OBJECT
public:
    explicit CwFrameWnd(QWidget* parent = nullptr);
    ~CwFrameWnd() override;

    // Both off (the start-up option nws): the frame opens where the window system puts it
    // and nothing is written at exit.
    void SetSavePlacement(bool save) { m_savePlacement = save; }
    void SetRestorePlacement(bool restore) { m_restorePlacement = restore; }
    void SetSection(std::string section) { m_section = std::move(section); }
    const std::string& Section() const { return m_section; }

    // What is written at destruction; public so that a frame that ends without being
    // destroyed (the session ends) can keep its placement too.
    void SavePlacement();

    // left, top, right, bottom = 10, 10, 500, 400: the frame's top-left corner and the
    // client area's size.
    static QRect DefaultRect() { return QRect(10, 10, 490, 390); }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // The frame's own toolbar and status bar (the first ones found when none was set).
    virtual QToolBar* FrameToolBar() const;
    virtual QStatusBar* FrameStatusBar() const;

private:
    void RestorePlacement();
    void CorrectCorner();

    std::string m_section = FrameKey::kSection;
    bool m_firstShowPending = true;
    bool m_savePlacement = true;
    bool m_restorePlacement = true;
    bool m_saved = false;
    // Qt forgets whether a minimised window was maximised before once it is shown again
    // from the task bar; the flag keeps what the frame will restore to.
    bool m_maximizedBeforeMinimize = false;
    std::optional<QPoint> m_intendedCorner;
};
