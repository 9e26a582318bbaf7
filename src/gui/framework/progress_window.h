#pragma once

// The small always-on-top progress window of long work on the user-interface thread: a
// few lines of text, a bar and one button. It runs no thread of its own: the caller does
// a step, sets the position and lets the window pump events; the button (or Escape) sets
// the cancel flag, which the caller reads. Pressing it hides the window; the next SetPos
// shows it again. Its top-left corner is kept in the section "CwPgsWnd".

#include <QWidget>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ProgressWindow {
inline constexpr const char* kSection = "CwPgsWnd";
inline constexpr const char* kX = "X";
inline constexpr const char* kY = "Y";
inline constexpr int kButtonId = 10;
inline constexpr int kTextId = 11;
inline constexpr int kBarId = 12;
inline constexpr int kTextWidth = 390;
inline constexpr int kTextLines = 3;
} // namespace ProgressWindow

class CwPgsWnd final : public QWidget
{
    Q_OBJECT
public:
    // Without an owner the window belongs to the application's main window.
    CwPgsWnd(QWidget* owner, const QString& title, bool smooth, const QString& buttonText,
             bool rememberPosition = true);
    ~CwPgsWnd() override;

    void SetRange(int lower, int upper, int step = 1);
    // Shows the window again when the button had hidden it; gives the previous position.
    int SetPos(int position);
    void SetText(const QString& text);
    // Handles the events that are pending and returns at once: true when the cancel flag
    // is set. With escapeCancels, Escape typed in any window of the program presses the
    // button.
    bool PumpWaiting(bool escapeCancels = true);
    // Serves events until the button is pressed (or the application quits), sleeping
    // while nothing happens.
    void WaitForCancel(bool escapeCancels = true);

    bool Cancelled() const { return m_cancelled; }
    void ResetCancel() { m_cancelled = false; }
    // The button, or Escape: the cancel flag is set and the window hides.
    void PressButton();

signals:
    void ButtonPressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOut(int lines, int width);
    void Place();
    void Centre();
    void ShowWithoutActivating();

    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_button = nullptr;
    bool m_cancelled = false;
    bool m_rememberPosition;
    bool m_filtering = false;
    bool m_centred = false;
    int m_position = 0;
    int m_lower = 0;
    int m_upper = 100;
    int m_step = 1;
};
