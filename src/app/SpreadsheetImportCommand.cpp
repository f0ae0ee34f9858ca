// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SpreadsheetImportCommand.h"

#include "db/DBConnectionStrings.h"
#include "db/DataModule.h"
#include "import/SpreadsheetImport.h"
#include "platform/data/DatabaseError.h"
#include "platform/os/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void interrupt(int) {
    g_interrupted = 1;
}

void say(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toUtf8().constData());
}

int usage() {
    say(stderr, QStringLiteral("Usage: %1 --import-members FILE.csv --register REGISTER --mapping "
                               "MAPPING [--refused REFUSED.csv]")
                    .arg(QCoreApplication::applicationName()));
    return 2;
}

} // namespace

int RunImportMembersCommand(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString file, registerPath, mappingArg, refusedPath;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        QString* value = arg == u"--import-members" ? &file
                         : arg == u"--register"     ? &registerPath
                         : arg == u"--mapping"      ? &mappingArg
                         : arg == u"--refused"      ? &refusedPath
                                                    : nullptr;
        if (!value || i + 1 >= args.size() || !value->isEmpty())
            return usage();
        *value = args[++i];
    }
    if (file.isEmpty() || registerPath.isEmpty() || mappingArg.isEmpty())
        return usage();

    Tdm dm;
    qv::Connection& connection = dm.adoMembers();
    dm.changeRecorder().setDefaultSource([] { return SpreadsheetImport::EntryLabel(); });
    try {
        // A register file, or a connection string as the settings hold one.
        dm.OpenRegister(registerPath.contains(QLatin1String("Provider="), Qt::CaseInsensitive)
                            ? registerPath
                            : DBConnectionStrings::AccessConnectionString(registerPath));
        dm.UpgradeDatabase();
    } catch (const qv::DatabaseError& e) {
        say(stderr, QStringLiteral("The register %1 could not be opened: %2\nNothing was imported.")
                        .arg(registerPath, e.message()));
        return 1;
    }

    // The mapping: a JSON file when there is one of that name, else a
    // mapping saved in the register by an import from the window.
    QString json, error;
    if (QFileInfo(mappingArg).isFile()) {
        QFile mappingFile(mappingArg);
        if (!mappingFile.open(QIODevice::ReadOnly)) {
            say(stderr, QStringLiteral("The mapping file %1 could not be read: %2")
                            .arg(mappingArg, mappingFile.errorString()));
            return 1;
        }
        json = QString::fromUtf8(mappingFile.readAll());
    } else {
        const std::optional<QString> saved =
            SpreadsheetImport::SavedMappingNamed(connection, mappingArg);
        if (!saved) {
            say(stderr, QStringLiteral("There is no mapping file %1, and the register has no "
                                       "mapping saved under that name.\nNothing was imported.")
                            .arg(mappingArg));
            return 1;
        }
        json = *saved;
    }
    const std::optional<SpreadsheetImport::JsonMapping> mapping =
        SpreadsheetImport::ParseMapping(json, error);
    if (!mapping) {
        say(stderr, error + QStringLiteral("\nNothing was imported."));
        return 1;
    }

    SpreadsheetImport::Preview preview;
    if (!SpreadsheetImport::ReadPreview(file, preview, error)) {
        say(stderr, QStringLiteral("The file %1 could not be read: %2\nNothing was imported.")
                        .arg(file, error));
        return 1;
    }
    // What the mapping says about the file overrides what was detected.
    if (mapping->encoding || mapping->delimiter || mapping->header) {
        if (mapping->encoding)
            preview.mapping.format.encoding = *mapping->encoding;
        if (mapping->delimiter)
            preview.mapping.format.delimiter = *mapping->delimiter;
        if (mapping->header)
            preview.mapping.header = *mapping->header;
        if (!SpreadsheetImport::RereadPreview(file, preview, error)) {
            say(stderr, QStringLiteral("The file %1 could not be read: %2\nNothing was imported.")
                            .arg(file, error));
            return 1;
        }
    }
    SpreadsheetImport::Apply(*mapping, preview);

    std::signal(SIGINT, interrupt);
    std::signal(SIGTERM, interrupt);
    const auto progress = [](qint64, qint64) { return !g_interrupted; };
    SpreadsheetImport::Plan plan;
    SpreadsheetImport::Result result;
    if (!SpreadsheetImport::Check(connection, file, preview.mapping, plan, error, progress)) {
        if (error.isEmpty())
            result.outcome = SpreadsheetImport::Outcome::Cancelled;
        else
            result.message = error;
    } else {
        result = SpreadsheetImport::Write(connection, plan, progress);
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    switch (result.outcome) {
    case SpreadsheetImport::Outcome::Imported:
        break;
    case SpreadsheetImport::Outcome::Cancelled:
        say(stderr, QStringLiteral("The import was cancelled; the register is as it was."));
        return 1;
    case SpreadsheetImport::Outcome::Failed:
        say(stderr, result.message + QStringLiteral("\nNothing was imported."));
        return 1;
    }
    say(stdout, plan.fileName + QStringLiteral(": ") + result.text());
    for (const SpreadsheetImport::Refusal& r : plan.problems) {
        if (plan.written(r))
            continue;
        QStringList why;
        for (const auto& [kind, what] : r.problems)
            why << what;
        say(stderr, QStringLiteral("Line %1 refused: %2").arg(r.line).arg(why.join(u"; ")));
    }
    if (!plan.mapping.createLevels)
        for (const auto& [number, line] : plan.newLevelRows)
            say(stderr, QStringLiteral("Line %1 refused: its membership type is new").arg(line));
    if (!refusedPath.isEmpty() && result.refused > 0) {
        try {
            SpreadsheetImport::SaveRefused(plan, refusedPath);
            say(stdout, QStringLiteral("The refused rows were saved in %1.").arg(refusedPath));
        } catch (const std::runtime_error& e) {
            // The members are in; only the list of the rest is missing.
            say(stderr, QStringLiteral("The refused rows were not saved: %1")
                            .arg(QString::fromUtf8(e.what())));
        }
    }
    return 0;
}
