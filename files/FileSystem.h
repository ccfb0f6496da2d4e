// The file-system helpers in one include: masks, path order, directory listing, the
// recursive collector, copying and moving. Plain C++ and POSIX; shared by the window and the
// command-line grep.
#pragma once

#include "AtomicFile.h"
#include "Directory.h"
#include "FileCopy.h"
#include "FileMove.h"
#include "FileMask.h"
#include "Paths.h"
