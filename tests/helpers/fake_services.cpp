#include "helpers/fake_services.h"

#include <algorithm>

std::vector<std::string> CRecordingSink::Messages() const
{
    std::vector<std::string> messages;
    for (const auto& row : reportRows)
        messages.push_back(row.message);
    return messages;
}

std::vector<CMessageRow> CRecordingSink::RowsOfKind(int kind) const
{
    std::vector<CMessageRow> rows;
    std::copy_if(reportRows.begin(), reportRows.end(), std::back_inserter(rows),
                 [kind](const CMessageRow& row) { return row.kind == kind; });
    return rows;
}

bool CRecordingSink::HasMessage(const std::string& message) const
{
    return std::any_of(reportRows.begin(), reportRows.end(),
                       [&](const CMessageRow& row) { return row.message == message; });
}

void CRecordingSink::Clear()
{
    statusTexts.clear();
    reportRows.clear();
    errorRows.clear();
    playedSounds.clear();
    beeps.clear();
}

int CScriptedPrompter::NextAnswer()
{
    if (answers.empty())
        return defaultAnswer;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

int CScriptedPrompter::TimedMessageBox(const std::string& text, const std::string& title,
                                       unsigned type, int limitMs)
{
    asked.push_back({text, title, type, limitMs, true});
    return NextAnswer();
}

int CScriptedPrompter::MessageBox(const std::string& text, const std::string& title,
                                  unsigned type)
{
    asked.push_back({text, title, type, 0, false});
    return NextAnswer();
}

bool CScriptedPrompter::AskCredentials(const std::string&, const std::string& prompt, std::string& user,
                                       std::string& password)
{
    credentialPrompts.push_back(prompt);
    credentialUsersOffered.push_back(user);
    if (credentialUser.empty())
        return false;
    user = credentialUser;
    password = credentialPassword;
    return true;
}

bool CScriptedPump::PumpPendingMessages()
{
    ++pumpCount;
    if (const auto action = actionsAtPump.find(pumpCount); action != actionsAtPump.end())
        action->second();
    return !quitting;
}

void CFakeTimers::StartTimer(int id, int intervalMs)
{
    m_timers[id] = CTimer{intervalMs, m_elapsed + std::chrono::milliseconds(intervalMs)};
}

int CFakeTimers::IntervalOf(int id) const
{
    const auto timer = m_timers.find(id);
    return timer == m_timers.end() ? -1 : timer->second.intervalMs;
}

void CFakeTimers::Advance(std::chrono::milliseconds step)
{
    const auto end = m_elapsed + step;
    for (;;) {
        // The earliest due timer; ties fire in id order, as a message queue would.
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
            if (it->second.due <= end && m_firing.count(it->first) == 0
                && (next == m_timers.end() || it->second.due < next->second.due))
                next = it;
        if (next == m_timers.end())
            break;
        const int id = next->first;
        const auto due = next->second.due;
        if (m_clock)
            m_clock->Advance(due - m_elapsed);
        m_elapsed = due;
        next->second.due = due + std::chrono::milliseconds(std::max(1, next->second.intervalMs));
        if (m_handler) {
            m_firing.insert(id);
            m_handler(id);
            m_firing.erase(id);
        }
    }
    if (m_clock)
        m_clock->Advance(end - m_elapsed);
    m_elapsed = end;
}

std::vector<std::string> CFakeRunningApplications::ApplicationNames()
{
    ++looks;
    if (snapshots.empty())
        return {};
    std::vector<std::string> names = snapshots.front();
    if (snapshots.size() > 1)
        snapshots.pop_front();
    return names;
}
