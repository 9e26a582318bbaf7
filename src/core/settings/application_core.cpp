#include "settings/application_core.h"

#include <cstring>

#include "platform/program_paths.h"
#include "settings/settings_texts.h"

CApplicationCore::CApplicationCore(const CHostServices& services, CCommandLine commandLine)
    : m_services(services),
      m_commandLine(std::move(commandLine)),
      m_output(m_settings.general, m_services),
      m_storage(m_settings, m_profile, m_commandLine, m_services)
{
    m_storage.SetMessageOutput(&m_output);
    m_profile.SetWriteErrorHandler([this](const std::string& path, int error) {
        m_output.OutputMessage(MessageKind::kError, SettingsText::kWriteFailed, path, {},
                               std::strerror(error));
    });
}

std::string CApplicationCore::InitialSettingsFileName() const
{
    std::string name;
    if (m_commandLine.GetCommandLineOption("i", &name) && !name.empty())
        return name;
    return kDefaultSettingsFileName;
}

bool CApplicationCore::LoadSettingsFile(const std::string& name, const std::function<void(int)>& step)
{
    const auto Step = [&step](int position) {
        if (step)
            step(position);
    };
    Step(1);
    m_settingsFileName = name;
    m_profile.SetPath(ResolveSettingsFilePath(name));
    Step(2);
    if (!m_storage.LoadFileSettings())
        return false;
    Step(3);
    m_storage.LoadGeneralSettings();
    Step(4);
    m_storage.LoadArchiverSettings(-1);
    Step(5);
    return true;
}
