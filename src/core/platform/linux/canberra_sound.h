#pragma once

// Notification sounds through the desktop's event-sound service (libcanberra): sound
// files and the sound theme's dialog beeps, all played without waiting.

#include <string>

#include "platform/host_services.h"

struct ca_context;

class CCanberraSound
{
public:
    // The application name is handed to the sound service (it may show it in mixers).
    explicit CCanberraSound(std::string applicationName = {});
    ~CCanberraSound();
    CCanberraSound(const CCanberraSound&) = delete;
    CCanberraSound& operator=(const CCanberraSound&) = delete;

    // Starts playing the file and returns at once. False when the file is missing, empty
    // or not a regular file, when the sound service is not available, or when it cannot
    // play the file.
    bool PlayFile(const std::string& path);

    // The sound theme's "dialog-information" or "dialog-warning" event sound. Silent
    // when the sound service is not available.
    void Beep(EBeep beep);

private:
    // Opens the connection to the sound service on first use; a failure is retried at
    // the next sound (the service may come up with the desktop session later).
    bool Open();

    std::string m_applicationName;
    ca_context* m_context = nullptr;
    bool m_open = false;
};
