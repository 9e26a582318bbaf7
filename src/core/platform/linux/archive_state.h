#pragma once

// The record behind the archive bit (file_attributes.h), made from the platform's status.

#include <string>
#include <string_view>
#include <sys/stat.h>

// The value recorded for a file with this status.
std::string ArchiveStateOf(const struct stat& status);
bool MatchesArchiveState(std::string_view recorded, const struct stat& status);
