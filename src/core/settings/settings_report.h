#pragma once

// A readable text form of the settings model, for the console and for bug reports.
// Archive passwords are never shown.

#include <string>

#include "settings/settings_model.h"

std::string DescribeSettings(const CSettingsModel& model);
