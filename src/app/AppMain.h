// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Program start: the application object, the data module, the main window and
// the message loop. Answers the program's exit code.
int RunQuorvane(int argc, char** argv);
