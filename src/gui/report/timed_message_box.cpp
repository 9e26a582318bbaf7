#include "report/timed_message_box.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "framework/profile.h"
#include "version.h"

namespace {

constexpr int kMillisecondsPerSecond = 1000;
constexpr int kTicksPerSecond = kMillisecondsPerSecond / TimedBoxKey::kTickMs;

QMessageBox::StandardButtons ButtonsOf(unsigned type)
{
    constexpr unsigned kAbortRetryIgnore = 0x2;
    constexpr unsigned kRetryCancel = 0x5;
    switch (type & MessageBoxType::kButtonMask) {
    case MessageBoxType::kOkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case kAbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case MessageBoxType::kYesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageBoxType::kYesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case kRetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(unsigned type)
{
    switch (type & MessageBoxType::kIconMask) {
    case MessageBoxType::kIconStop:
        return QMessageBox::Critical;
    case MessageBoxType::kIconQuestion:
        return QMessageBox::Question;
    case MessageBoxType::kIconExclamation:
        return QMessageBox::Warning;
    case MessageBoxType::kIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int AnswerOf(QMessageBox::StandardButton button)
{
    using namespace MessageBoxAnswer;
    switch (button) {
    case QMessageBox::Ok:
        return kOk;
    case QMessageBox::Cancel:
        return kCancel;
    case QMessageBox::Abort:
        return kAbort;
    case QMessageBox::Retry:
        return kRetry;
    case QMessageBox::Ignore:
        return kIgnore;
    case QMessageBox::Yes:
        return kYes;
    case QMessageBox::No:
        return kNo;
    default:
        return kTimeout;
    }
}

QMessageBox::StandardButton ButtonOf(int answer)
{
    using namespace MessageBoxAnswer;
    switch (answer) {
    case kOk:
        return QMessageBox::Ok;
    case kCancel:
        return QMessageBox::Cancel;
    case kAbort:
        return QMessageBox::Abort;
    case kRetry:
        return QMessageBox::Retry;
    case kIgnore:
        return QMessageBox::Ignore;
    case kYes:
        return QMessageBox::Yes;
    case kNo:
        return QMessageBox::No;
    default:
        return QMessageBox::NoButton;
    }
}

QString Text(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

class CTimedMessageBox::CNested
{
public:
    explicit CNested(CTimedMessageBox& owner)
        : m_owner(owner), m_outer(owner.m_state), m_timerWasActive(owner.m_timer->isActive()),
          m_interval(owner.m_timer->interval())
    {
        m_owner.m_state = CBoxState{};
    }
    ~CNested()
    {
        m_owner.m_state = m_outer;
        if (m_timerWasActive)
            m_owner.m_timer->start(m_interval);
    }
    CNested(const CNested&) = delete;
    CNested& operator=(const CNested&) = delete;

private:
    CTimedMessageBox& m_owner;
    CBoxState m_outer;
    bool m_timerWasActive;
    int m_interval;
};

CTimedMessageBox::CTimedMessageBox(QObject* parent) : QObject(parent)
{
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CTimedMessageBox::Tick);
}

CTimedMessageBox::~CTimedMessageBox() = default;

QMessageBox* CTimedMessageBox::MakeBox(const std::string& text, const QString& title, unsigned type)
{
    auto* box = new QMessageBox(IconOf(type), title, Text(text), ButtonsOf(type), m_owner);
    box->setTextFormat(Qt::PlainText);
    // On top of other programs' windows: the question must be seen by whoever is there.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    // A box sizes itself by its text alone, and a short question would leave the window
    // manager too little room for the title and the countdown added to it.
    const int titleRoom = box->fontMetrics().horizontalAdvance(title + QStringLiteral("  [00]")) + 120;
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(titleRoom, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    return box;
}

int CTimedMessageBox::TimedMessageBox(const std::string& text, const std::string& title, unsigned type,
                                      int limitMs)
{
    CNested nested(*this);
    m_state.title = title.empty() ? QString::fromUtf8(kApplicationName) : Text(title);
    m_state.limitMs = limitMs;
    m_state.ticks = 0;
    m_state.found = false;
    m_state.timedOut = false;
    if (limitMs <= 0) {
        m_state.timedOut = true;
        return MessageBoxAnswer::kTimeout;
    }

    m_state.savedX =
        CwProfile::GetProfileInt(TimedBoxKey::kSection, TimedBoxKey::kX, TimedBoxKey::kNoPosition);
    m_state.savedY =
        CwProfile::GetProfileInt(TimedBoxKey::kSection, TimedBoxKey::kY, TimedBoxKey::kNoPosition);
    const int storedX = m_state.savedX;
    const int storedY = m_state.savedY;

    std::unique_ptr<QMessageBox> box(MakeBox(text, m_state.title, type));
    m_state.box = box.get();
    SetTitle(limitMs / kMillisecondsPerSecond);
    const int answer = RunBox(*box);
    m_state.box = nullptr;
    box.reset();

    if (m_state.savedX != storedX || m_state.savedY != storedY) {
        CwProfile::CBatch batch;
        CwProfile::WriteProfileInt(TimedBoxKey::kSection, TimedBoxKey::kX, m_state.savedX);
        CwProfile::WriteProfileInt(TimedBoxKey::kSection, TimedBoxKey::kY, m_state.savedY);
    }
    return m_state.timedOut ? MessageBoxAnswer::kTimeout : answer;
}

int CTimedMessageBox::MessageBox(const std::string& text, const std::string& title, unsigned type)
{
    CNested nested(*this);
    m_state.title = title.empty() ? QString::fromUtf8(kApplicationName) : Text(title);
    m_state.limitMs = 0;
    m_state.ticks = 0;
    m_state.found = false;
    m_state.timedOut = false;
    std::unique_ptr<QMessageBox> box(MakeBox(text, m_state.title, type));
    m_state.box = box.get();
    const int answer = RunBox(*box);
    m_state.box = nullptr;
    return answer;
}

int CTimedMessageBox::RunBox(QMessageBox& box)
{
    m_state.queuedAnswer = kNoQueuedAnswer;
    if (!m_queue.empty()) {
        m_state.queuedAnswer = m_queue.front();
        m_queue.pop_front();
    }
    // A queued time-out runs the countdown without waiting for the clock.
    m_timer->start(m_state.queuedAnswer == kLetItTimeOut ? 0 : TimedBoxKey::kTickMs);
    box.exec();
    m_timer->stop();
    if (m_state.queuedAnswer >= 0 && ButtonOf(m_state.queuedAnswer) == QMessageBox::NoButton)
        return m_state.queuedAnswer;
    return AnswerOf(box.standardButton(box.clickedButton()));
}

void CTimedMessageBox::SetTitle(int remaining)
{
    const QString title = m_state.title + QStringLiteral("  [%1]").arg(remaining);
    if (m_state.box)
        m_state.box->setWindowTitle(title);
    emit TitleShown(title);
}

void CTimedMessageBox::Tick()
{
    QMessageBox* box = m_state.box;
    // Not on screen yet: the tick does nothing, and the time only runs once it is.
    if (!box || !box->isVisible())
        return;

    if (!m_state.found) {
        m_state.found = true;
        if (m_state.limitMs > 0 && m_state.savedX != TimedBoxKey::kNoPosition
            && m_state.savedY != TimedBoxKey::kNoPosition)
            box->move(m_state.savedX, m_state.savedY);
        if (m_state.queuedAnswer >= 0) {
            if (QAbstractButton* button = box->button(ButtonOf(m_state.queuedAnswer)))
                button->click();
            else
                box->done(0);
            return;
        }
    }
    if (m_state.limitMs <= 0)
        return;

    const int before = m_state.ticks++;
    if (before < m_state.limitMs / TimedBoxKey::kTickMs) {
        const int remaining = m_state.limitMs / kMillisecondsPerSecond - m_state.ticks / kTicksPerSecond;
        if (m_state.ticks % kTicksPerSecond == 0) {
            SetTitle(remaining);
            m_state.savedX = box->pos().x();
            m_state.savedY = box->pos().y();
        }
        if (remaining <= TimedBoxKey::kFlashSeconds) {
            QApplication::alert(box, TimedBoxKey::kTickMs);
            emit Flashed();
        }
        return;
    }
    m_state.timedOut = true;
    box->done(0);
}

bool CTimedMessageBox::AskCredentials(const std::string& title, const std::string& prompt, std::string& user,
                                      std::string& password)
{
    QDialog dialog(m_owner);
    dialog.setWindowTitle(title.empty() ? QString::fromUtf8(kApplicationName) : Text(title));
    auto* layout = new QFormLayout(&dialog);
    layout->addRow(new QLabel(Text(prompt), &dialog));
    auto* userEdit = new QLineEdit(Text(user), &dialog);
    auto* passwordEdit = new QLineEdit(&dialog);
    passwordEdit->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("User:"), userEdit);
    layout->addRow(QStringLiteral("Password:"), passwordEdit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    user = userEdit->text().toStdString();
    password = passwordEdit->text().toStdString();
    return true;
}
