#include "helpers/fake_front_end.h"

#include "platform/last_error.h"

namespace {

class CFakeNotifier final : public IChangeNotifier
{
public:
    CFakeNotifier(CFakeNotifierFactory& factory, const CFakeTimers& timers, std::string folder)
        : m_factory(factory), m_timers(timers), m_folder(std::move(folder))
    {
    }
    bool IsSignalled() override
    {
        m_factory.lookMoments.push_back(static_cast<int>(m_timers.Elapsed().count()));
        return m_factory.signalled[m_folder];
    }
    void ReadAndRearm() override { m_factory.signalled[m_folder] = false; }
    std::string Degradation() const override { return {}; }
    std::string TakeDegradationNotice() override
    {
        std::string notice = m_factory.notices[m_folder];
        m_factory.notices[m_folder].clear();
        return notice;
    }

private:
    CFakeNotifierFactory& m_factory;
    const CFakeTimers& m_timers;
    std::string m_folder;
};

} // namespace

std::unique_ptr<IChangeNotifier> CFakeNotifierFactory::Create(const CChangeWatchOptions& options)
{
    if (refuseWithError != 0) {
        SetLastSystemError(refuseWithError);
        return nullptr;
    }
    watchedFolders.push_back(options.folder);
    ignoreFilters.push_back(options.ignore);
    return std::make_unique<CFakeNotifier>(*this, m_timers, options.folder);
}
