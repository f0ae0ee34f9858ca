#include "db/TableCreate.h"

#include "platform/data/Connection.h"
#include "platform/data/Transaction.h"

#include <QRegularExpression>

namespace TableCreate {

ColumnTypeWords ColumnTypes(const QString& connectionString) {
    bool fileKind = connectionString.contains(QLatin1String(".mdb"));
    try {
        const qv::ConnectionString cs = qv::ConnectionString::parse(connectionString);
        if (cs.contains(QStringLiteral("Provider")))
            fileKind = cs.kind() == qv::ConnectionString::Kind::File;
    } catch (const std::exception&) {
        // An unreadable string keeps the ".mdb" rule; opening it will fail anyway.
    }
    if (fileKind)
        return {QStringLiteral("AUTOINCREMENT PRIMARY KEY"),
                QStringLiteral("yesno"),
                QStringLiteral("true"),
                QStringLiteral("date"),
                QStringLiteral("decimal(19,4)"),
                QStringLiteral("integer")};
    return {QStringLiteral("integer PRIMARY KEY IDENTITY"),
            QStringLiteral("bit"),
            QStringLiteral("1"),
            QStringLiteral("datetime"),
            QStringLiteral("decimal(19,4)"),
            QStringLiteral("integer")};
}

QList<QStringList> TableStatements(const QString& connectionString) {
    const ColumnTypeWords t = ColumnTypes(connectionString);
    QList<QStringList> s;
    s << QStringList{QStringLiteral("CREATE TABLE MembershipLevel"),
                     QStringLiteral("("),
                     QStringLiteral("MembershipLevelID ") + t.key + u',',
                     QStringLiteral("MemberCategory varchar(20) NOT NULL,"),
                     QStringLiteral("HighlightColour ") + t.integer + u',',
                     QStringLiteral("FontColour ") + t.integer + u',',
                     QStringLiteral("IncludeLongService ") + t.yesNo + QStringLiteral(" DEFAULT ") +
                         t.yesNoDefault,
                     QStringLiteral(")")};
    s << QStringList{QStringLiteral("INSERT INTO MembershipLevel"),
                     QStringLiteral("(MemberCategory, HighlightColour, FontColour,"),
                     QStringLiteral("IncludeLongService)"),
                     QStringLiteral("VALUES ('Member',-1,-1,") + t.yesNoDefault + u')'};
    s << QStringList{QStringLiteral("CREATE TABLE Members"),
                     QStringLiteral("("),
                     QStringLiteral("MemberID ") + t.key + u',',
                     QStringLiteral("Surname varchar(20) NOT NULL,"),
                     QStringLiteral("FirstNames varchar(30) NOT NULL,"),
                     QStringLiteral("Address varchar(70),"),
                     QStringLiteral("City varchar(30),"),
                     QStringLiteral("PostCode varchar(8),"),
                     QStringLiteral("TelNo varchar(15),"),
                     QStringLiteral("MobileNo varchar(15),"),
                     QStringLiteral("EmailAddress varchar(70)"),
                     QStringLiteral(")")};
    s << QStringList{
        QStringLiteral("CREATE TABLE DatesJoined"),
        QStringLiteral("("),
        QStringLiteral("DatesJoinedID ") + t.key + u',',
        QStringLiteral("MembershipLevelID int NOT NULL,"),
        QStringLiteral("MembershipNo varchar(10),"),
        QStringLiteral("MemberID int NOT NULL,"),
        QStringLiteral("DateJoined ") + t.date + QStringLiteral(" NOT NULL,"),
        QStringLiteral("DateEnded ") + t.date + u',',
        QStringLiteral("ReasonEnded varchar(50) DEFAULT '',"),
        QStringLiteral("CONSTRAINT fkMembershipLevelID FOREIGN KEY(MembershipLevelID) REFERENCES "
                       "MembershipLevel(MembershipLevelID) ON DELETE CASCADE,"),
        QStringLiteral("CONSTRAINT fkDatesJoinedMemberID FOREIGN KEY(MemberID) REFERENCES "
                       "Members(MemberID) ON DELETE CASCADE"),
        QStringLiteral(")")};
    s << QStringList{QStringLiteral("CREATE TABLE Assets"), QStringLiteral("("),
                     QStringLiteral("AssetID ") + t.key + u',',
                     QStringLiteral("AssetName varchar(20) NOT NULL"), QStringLiteral(")")};
    s << QStringList{
        QStringLiteral("CREATE TABLE MemberAssets"),
        QStringLiteral("("),
        QStringLiteral("MemberAssetID ") + t.key + u',',
        QStringLiteral("MemberID int NOT NULL,"),
        QStringLiteral("AssetID int NOT NULL,"),
        QStringLiteral("DateIssued ") + t.date + QStringLiteral(" NOT NULL,"),
        QStringLiteral("AssetReference varchar(20),"),
        QStringLiteral("DateReturned ") + t.date + u',',
        QStringLiteral("CONSTRAINT fkMemberAssetsMemberID FOREIGN KEY(MemberID) REFERENCES "
                       "Members(MemberID) ON DELETE CASCADE,"),
        QStringLiteral("CONSTRAINT fkAssetID FOREIGN KEY(AssetID) REFERENCES Assets(AssetID) ON "
                       "DELETE CASCADE"),
        QStringLiteral(")")};
    s << QStringList{QStringLiteral("CREATE TABLE Profiles"), QStringLiteral("("),
                     QStringLiteral("ProfileID ") + t.key + u',',
                     QStringLiteral("ProfileName varchar(30) NOT NULL"), QStringLiteral(")")};
    s << QStringList{
        QStringLiteral("CREATE TABLE MemberProfiles"),
        QStringLiteral("("),
        QStringLiteral("MemberProfileID ") + t.key + u',',
        QStringLiteral("ProfileID int NOT NULL,"),
        QStringLiteral("MemberID int NOT NULL,"),
        QStringLiteral("ProfileStart ") + t.date + QStringLiteral(" NOT NULL,"),
        QStringLiteral("ProfileEnd ") + t.date + u',',
        QStringLiteral("CONSTRAINT fkMemberProfilesMemberID FOREIGN KEY(MemberID) REFERENCES "
                       "Members(MemberID) ON DELETE CASCADE,"),
        QStringLiteral("CONSTRAINT fkProfileID FOREIGN KEY(ProfileID) REFERENCES "
                       "Profiles(ProfileID) ON DELETE CASCADE"),
        QStringLiteral(")")};
    s << QStringList{
        QStringLiteral("CREATE TABLE FeePayments"),
        QStringLiteral("("),
        QStringLiteral("FeePaymentID ") + t.key + u',',
        QStringLiteral("PaymentDate ") + t.date + QStringLiteral(" NOT NULL,"),
        QStringLiteral("MemberID int NOT NULL,"),
        QStringLiteral("ReceiptRef varchar(20),"),
        QStringLiteral("PaymentAmount ") + t.money + QStringLiteral(" NOT NULL,"),
        QStringLiteral("PaymentNotes varchar(75),"),
        QStringLiteral("CONSTRAINT fkFeePaymentsMemberID FOREIGN KEY(MemberID) REFERENCES "
                       "Members(MemberID) ON DELETE CASCADE"),
        QStringLiteral(")")};
    s << QStringList{
        QStringLiteral("CREATE TABLE MemberNotes"),
        QStringLiteral("("),
        QStringLiteral("MemberNotesID ") + t.key + u',',
        QStringLiteral("MemberID int NOT NULL,"),
        QStringLiteral("MemberNote varchar(250),"),
        QStringLiteral("CONSTRAINT fkMemberNotesMemberID FOREIGN KEY(MemberID) REFERENCES "
                       "Members(MemberID) ON DELETE CASCADE"),
        QStringLiteral(")")};
    s << QStringList{
        QStringLiteral("CREATE TABLE FileAttachments"),
        QStringLiteral("("),
        QStringLiteral("FileAttachmentID ") + t.key + u',',
        QStringLiteral("MemberID int NOT NULL,"),
        QStringLiteral("FilePath varchar(255) NOT NULL,"),
        QStringLiteral("FileDescription varchar(50) NOT NULL,"),
        QStringLiteral("DateAdded ") + t.date + QStringLiteral(" NOT NULL,"),
        QStringLiteral("CONSTRAINT fkFileAttachmentsMemberID FOREIGN KEY(MemberID) REFERENCES "
                       "Members(MemberID) ON DELETE CASCADE"),
        QStringLiteral(")")};
    return s;
}

QStringList IndexStatements() {
    return {
        QStringLiteral("CREATE INDEX ixDatesJoinedMemberID ON DatesJoined (MemberID, DateJoined)"),
        QStringLiteral("CREATE INDEX ixDatesJoinedMembershipLevelID ON DatesJoined "
                       "(MembershipLevelID)"),
        // The asset and profile searches test "this member holds that kind" once
        // per member; with the kind in the member's index that is one seek,
        // where the engine would otherwise walk every issue of the kind.
        QStringLiteral("CREATE INDEX ixMemberAssetsMemberID ON MemberAssets (MemberID, AssetID)"),
        QStringLiteral("CREATE INDEX ixMemberAssetsAssetID ON MemberAssets (AssetID)"),
        QStringLiteral("CREATE INDEX ixMemberProfilesMemberID ON MemberProfiles (MemberID, "
                       "ProfileID)"),
        QStringLiteral("CREATE INDEX ixMemberProfilesProfileID ON MemberProfiles (ProfileID)"),
        QStringLiteral("CREATE INDEX ixFeePaymentsMemberID ON FeePayments (MemberID)"),
        QStringLiteral("CREATE INDEX ixMemberNotesMemberID ON MemberNotes (MemberID)"),
        QStringLiteral("CREATE INDEX ixFileAttachmentsMemberID ON FileAttachments (MemberID)"),
    };
}

namespace {

// The name that follows "CREATE TABLE" or "CREATE INDEX" in a statement.
QString CreatedName(const QString& statement) {
    static const QRegularExpression name(QStringLiteral("^CREATE\\s+(?:TABLE|INDEX)\\s+(\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    return name.match(statement).captured(1);
}

} // namespace

QStringList TableNames() {
    QStringList names;
    for (const QStringList& lines : TableStatements(QStringLiteral("Data Source=x.mdb")))
        if (const QString name = CreatedName(lines.first()); !name.isEmpty())
            names << name;
    return names;
}

QStringList IndexNames() {
    QStringList names;
    for (const QString& statement : IndexStatements())
        names << CreatedName(statement);
    return names;
}

void CreateTables(const QString& connectionString) {
    qv::Connection connection;
    connection.setConnectionString(connectionString);
    connection.open();
    qv::TransactionGuard transaction(connection);
    CreateTables(connection);
    transaction.commit();
}

void CreateTables(qv::Connection& connection) {
    for (const QStringList& lines : TableStatements(connection.connectionString()))
        connection.execute(lines.join(u'\n'));
    for (const QString& statement : IndexStatements())
        connection.execute(statement);
}

} // namespace TableCreate
