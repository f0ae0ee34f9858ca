// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Quorvane --import-members FILE.csv --register REG --mapping MAPPING
// [--refused OUT.csv]: the spreadsheet import without a window. MAPPING is a
// JSON file when a file of that name exists, else the name of a mapping saved
// in the register. Answers the exit code: 0 when the members were written
// (rows refused are listed on standard error), 1 when nothing was written,
// 2 for wrong arguments.
int RunImportMembersCommand(int argc, char** argv);
