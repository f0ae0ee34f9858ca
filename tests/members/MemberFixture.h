// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real register with one member who has every kind of sub-record, the
// settings pointing at it (so the register counts as writable), and the
// record of a member as text for before-and-after comparisons.

#include "ModalHelpers.h"
#include "members/MemberFrm.h"
#include "platform/data/Connection.h"
#include "platform/data/Query.h"
#include "platform/data/Transaction.h"
#include "support/RegisterFixture.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <functional>

namespace membertest {

// Colours as stored: red in the low byte.
constexpr int Gold = 0x0000D7FF; // #FFD700
constexpr int Navy = 0x00800000; // #000080

struct MemberFixture {
    qv::test::SettingsSandbox settings;
    qv::test::Register reg;
    qint64 gold = 0, plain = 0, locker = 0, card = 0, treasurer = 0, coach = 0;
    qint64 smith = 0, jones = 0;
    qint64 endedPeriod = 0, currentPeriod = 0, payment = 0, note = 0;
    QString file; // a real file, referenced by Smith

    MemberFixture() {
        qv::test::pinRegional();
        settings.writeSettings(
            QStringLiteral("[Database]\nUseAccessDatabase=1\nAccessDatabase=%1\n")
                .arg(reg.path())
                .toUtf8());
        qv::test::Register& r = reg;
        gold = r.addLevel(QStringLiteral("Gold"), Gold, Navy);
        plain = r.addLevel(QStringLiteral("Plain"));
        locker = r.insert(QStringLiteral("INSERT INTO Assets (AssetName) VALUES ('Locker key')"));
        card = r.insert(QStringLiteral("INSERT INTO Assets (AssetName) VALUES ('Library card')"));
        treasurer =
            r.insert(QStringLiteral("INSERT INTO Profiles (ProfileName) VALUES ('Treasurer')"));
        coach = r.insert(QStringLiteral("INSERT INTO Profiles (ProfileName) VALUES ('Coach')"));

        smith =
            r.addMember(QStringLiteral("Smith"), QStringLiteral("John"), QStringLiteral("Leeds"),
                        QStringLiteral("1 High St"), QStringLiteral("john@example.org"));
        endedPeriod = r.insert(
            QStringLiteral("INSERT INTO DatesJoined (MembershipLevelID, "
                           "MemberID, DateJoined, DateEnded, ReasonEnded, "
                           "MembershipNo) VALUES (:L, :M, :J, :E, 'Moved', "
                           "'M-0')"),
            {{"L", gold}, {"M", smith}, {"J", QDate(1990, 1, 1)}, {"E", QDate(1995, 2, 3)}});
        // Stored with a time of day and no reason at all, as older registers
        // hold them.
        currentPeriod = r.insert(
            QStringLiteral("INSERT INTO DatesJoined (MembershipLevelID, "
                           "MemberID, DateJoined, MembershipNo, ReasonEnded) "
                           "VALUES (:L, :M, :J, 'N-1', NULL)"),
            {{"L", plain}, {"M", smith}, {"J", QDateTime(QDate(2001, 5, 6), QTime(10, 30))}});
        payment = r.insert(QStringLiteral("INSERT INTO FeePayments (PaymentDate, MemberID, "
                                          "ReceiptRef, PaymentAmount, PaymentNotes) VALUES (:D, "
                                          ":M, 'R-1', 12.5, 'Annual')"),
                           {{"D", QDate(2020, 1, 2)}, {"M", smith}});
        r.insert(QStringLiteral("INSERT INTO MemberAssets (MemberID, AssetID, DateIssued, "
                                "AssetReference, DateReturned) VALUES (:M, :A, :I, 'L-7', :R)"),
                 {{"M", smith}, {"A", locker}, {"I", QDate(2010, 1, 1)}, {"R", QDate(2012, 1, 1)}});
        r.insert(QStringLiteral("INSERT INTO MemberProfiles (ProfileID, MemberID, ProfileStart) "
                                "VALUES (:P, :M, :S)"),
                 {{"P", treasurer}, {"M", smith}, {"S", QDate(2015, 1, 1)}});
        file = settings.filePath(QStringLiteral("minutes.txt"));
        qv::test::writeFileBytes(file, "minutes\n");
        r.insert(QStringLiteral("INSERT INTO FileAttachments (MemberID, FilePath, "
                                "FileDescription, DateAdded) VALUES (:M, :F, 'Minutes', :D)"),
                 {{"M", smith}, {"F", file}, {"D", QDate(2019, 3, 4)}});
        note = r.insert(
            QStringLiteral("INSERT INTO MemberNotes (MemberID, MemberNote) VALUES (:M, 'Keys')"),
            {{"M", smith}});

        jones = r.addMember(QStringLiteral("Jones"), QStringLiteral("Anne"), QStringLiteral("York"),
                            QStringLiteral("2 Mill Lane"));
        r.addPeriod(jones, QDate(2005, 1, 1));
    }

    qv::Connection& connection() { return reg.connection(); }
};

// Every row of the member in the seven tables, one text per row, values
// separated by "|" (null as "~"), in key order.
inline QStringList RecordOf(qv::Connection& connection, qint64 memberId) {
    static const char* const tables[][2] = {
        {"Members", "MemberID"},           {"DatesJoined", "DatesJoinedID"},
        {"MemberAssets", "MemberAssetID"}, {"MemberProfiles", "MemberProfileID"},
        {"FeePayments", "FeePaymentID"},   {"FileAttachments", "FileAttachmentID"},
        {"MemberNotes", "MemberNotesID"}};
    QStringList rows;
    for (const auto& table : tables) {
        qv::Query q(&connection);
        q.setSQL(QStringLiteral("SELECT * FROM %1 WHERE MemberID = :M ORDER BY %2")
                     .arg(QLatin1String(table[0]), QLatin1String(table[1])));
        q.setParameter(QStringLiteral("M"), memberId);
        qv::Result result;
        q.fetch(result);
        for (int row = 0; row < result.rows.rowCount(); ++row) {
            QStringList values{QLatin1String(table[0])};
            for (int c = 0; c < result.rows.columnCount(); ++c) {
                const qv::Cell& cell = result.rows.cell(row, c);
                values << (cell.type == qv::Cell::Null ? QStringLiteral("~")
                                                       : result.rows.value(cell).toText());
            }
            rows << values.join(u'|');
        }
    }
    return rows;
}

// Acts on the next modal window, which must be a T; anything else is closed
// and fails the test, so a wrong turn cannot hang it.
template <typename T> void WhenDialog(std::function<void(T*)> act) {
    qvtest::WhenModal([act = std::move(act)](QWidget* modal) {
        if (auto* dialog = qobject_cast<T*>(modal)) {
            act(dialog);
            return;
        }
        QTest::qFail(qPrintable(QStringLiteral("unexpected window %1")
                                    .arg(QLatin1String(modal->metaObject()->className()))),
                     __FILE__, __LINE__);
        static_cast<QDialog*>(modal)->reject();
    });
}

// The member window shown without its own event loop, inside a transaction
// as its callers run it.
struct OpenMember {
    OpenMember(qv::Connection& connection, qint64 memberId)
        : guard(connection) {
        frm.OpenForMember(connection, int(memberId));
        frm.show();
    }
    TfrmMember frm;
    qv::TransactionGuard guard;
};

} // namespace membertest
