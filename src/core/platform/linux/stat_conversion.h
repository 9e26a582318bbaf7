#pragma once

// The platform's status record in the portable form the engine reads.

#include <sys/stat.h>

#include "platform/file_status.h"

CFileStatus FileStatusFrom(const struct stat& status);
