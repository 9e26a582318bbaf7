#pragma once

// The desktop program's prompter. A timed box is a message box whose title counts the
// remaining seconds down ("title  [29]"), that stays on top, flashes in its last five
// seconds, closes itself with the answer 0 when the time is up and opens where the user
// last moved it (section "GwTmdMB", keys "X" and "Y").
//
// Tests answer boxes through a queue of next answers: each box takes the front entry and
// is answered with it at its first tick (through its own button), or, for a time-out
// entry, runs its countdown at once, tick by tick, to the time-out.

#include <QObject>
#include <QPointer>
#include <deque>
#include <string>

#include "platform/host_services.h"

#include <QMessageBox>
class QTimer;
#include <QWidget>

namespace TimedBoxKey {
inline constexpr const char* kSection = "GwTmdMB";
inline constexpr const char* kX = "X";
inline constexpr const char* kY = "Y";
inline constexpr int kNoPosition = -999;
inline constexpr int kTickMs = 100;
inline constexpr int kFlashSeconds = 5;
} // namespace TimedBoxKey

class CTimedMessageBox final : public QObject, public IPrompter
{
    Q_OBJECT
public:
    explicit CTimedMessageBox(QObject* parent = nullptr);
    ~CTimedMessageBox() override;

    // The window the boxes belong to (the main window), or none.
    void SetOwner(QWidget* owner) { m_owner = owner; }

    int TimedMessageBox(const std::string& text, const std::string& title, unsigned type,
                        int limitMs) override;
    int MessageBox(const std::string& text, const std::string& title, unsigned type) override;
    bool AskCredentials(const std::string& title, const std::string& prompt, std::string& user,
                        std::string& password) override;

    // The test seam: the next boxes take these answers in order.
    void QueueAnswer(int answer) { m_queue.push_back(answer); }
    void QueueTimeout() { m_queue.push_back(kLetItTimeOut); }
    bool HasQueuedAnswers() const { return !m_queue.empty(); }

    // The box on screen, or null.
    QMessageBox* ActiveBox() const { return m_state.box; }

signals:
    // Each title the box shows, the first one included.
    void TitleShown(const QString& title);
    // The box flashed to draw attention (last seconds).
    void Flashed();

private:
    static constexpr int kLetItTimeOut = -1;
    static constexpr int kNoQueuedAnswer = -2;

    QMessageBox* MakeBox(const std::string& text, const QString& title, unsigned type);
    void Tick();
    void SetTitle(int remaining);
    int RunBox(QMessageBox& box);

    QPointer<QWidget> m_owner;
    std::deque<int> m_queue;

    // The box on screen. Boxes are modal, but the event loop of one runs timers that may
    // ask another question: the inner box keeps the outer one's state aside meanwhile.
    struct CBoxState
    {
        QPointer<QMessageBox> box;
        QString title;
        int limitMs = 0;
        int ticks = 0;
        bool found = false;
        bool timedOut = false;
        int queuedAnswer = kNoQueuedAnswer;
        int savedX = TimedBoxKey::kNoPosition;
        int savedY = TimedBoxKey::kNoPosition;
    };
    class CNested;

    QTimer* m_timer = nullptr;
    CBoxState m_state;
};
