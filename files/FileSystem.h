// The file-system helpers in one include: masks, path order, directory listing and the
// recursive collector. Plain C++ and POSIX; shared by the window and the command-line grep.
#pragma once

#include "Directory.h"
#include "FileMask.h"
#include "Paths.h"
