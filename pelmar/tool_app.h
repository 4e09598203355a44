// CToolApp's start-up: instance lock, socket layer, command line,
// the main window run modally, and the picker reply after it has ended.
#pragma once

#include <string>
#include <vector>

#include "main_dlg.h"

namespace pelmar {

// Runs the whole program; returns the process exit code. arguments are those
// after the program's name.
int RunTool(const std::vector<std::string>& arguments, const MainDlgOptions& options = {});

}  // namespace pelmar
