// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The register's jobs from the command line, without a window and without a
// display: backup, check, compaction, a search exported to CSV or printed to
// a PDF file. Each is one option that comes first ("quorvane --check"), like
// --import. Messages go to standard error; the exit code is 0 when the job
// was done, 1 when it failed and 2 for wrong arguments (with the usage).
namespace Jobs {

// Whether `option` (the first argument) names a job.
bool IsJobOption(const QString& option);

// Runs the job argv[1] names, with its own application object. `name` is the
// command as the user typed it, for messages.
int RunJob(int argc, char** argv, const QString& name);

// The usage lines of the jobs and their part of --help.
QString UsageLines(const QString& name);
QString HelpText();

// The names of the ten searches and of the printed lists, as typed.
QStringList SearchNames();
QStringList ReportNames();

} // namespace Jobs
