// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/os/Regional.h"
#include "support/TestSupport.h"

#include <QTest>

namespace Regional = qv::Regional;

class TestRegional : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Regional::resetLocale(); }

    void britishFormats();
    void otherLocales();
    void longTimeHasNoTimeZone();
    void currency_data();
    void currency();
    void resetReturnsToSystem();
    void readDate_data();
    void readDate();
    void readNumericDate_data();
    void readNumericDate();
};

void TestRegional::britishFormats() {
    qv::test::pinRegional();
    QCOMPARE(Regional::shortDateFormat(), QString("dd/MM/yyyy"));
    QCOMPARE(Regional::dateSeparator(), QString("/"));
    QCOMPARE(Regional::decimalSeparator(), QString("."));
    QCOMPARE(Regional::currencySymbol(), QString::fromUtf8("\u00a3"));
    QCOMPARE(Regional::longTimeFormat(), QString("HH:mm:ss"));
    QCOMPARE(Regional::formatShortDate(QDate(2010, 3, 5)), QString("05/03/2010"));
    QCOMPARE(Regional::formatLongDate(QDate(2010, 3, 5)), QString("Friday, 5 March 2010"));
    QCOMPARE(Regional::formatShortDate(QDate()), QString());
    QCOMPARE(Regional::formatLongDate(QDate()), QString());

    // A date-time shows its time unless it is exactly midnight.
    QCOMPARE(Regional::formatDateTime(QDateTime(QDate(2010, 3, 5), QTime(0, 0))),
             QString("05/03/2010"));
    QCOMPARE(Regional::formatDateTime(QDateTime(QDate(2010, 3, 5), QTime(14, 30, 5))),
             QString("05/03/2010 14:30:05"));
    QCOMPARE(Regional::formatDateTime(QDateTime(QDate(2010, 3, 5), QTime(0, 0, 0, 500))),
             QString("05/03/2010 00:00:00"));
    QCOMPARE(Regional::formatDateTime(QDateTime()), QString());
}

void TestRegional::otherLocales() {
    Regional::setLocaleForTesting(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(Regional::dateSeparator(), QString("."));
    QCOMPARE(Regional::decimalSeparator(), QString(","));
    QCOMPARE(Regional::formatShortDate(QDate(2010, 3, 5)), QString("05.03.10"));

    Regional::setLocaleForTesting(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(Regional::dateSeparator(), QString("/"));
    QCOMPARE(Regional::formatDateTime(QDateTime(QDate(2010, 3, 5), QTime(14, 30, 5))),
             QString("3/5/10 2:30:05 PM"));

    Regional::setLocaleForTesting(QLocale(QLocale::Swedish, QLocale::Sweden));
    QCOMPARE(Regional::dateSeparator(), QString("-"));
}

void TestRegional::longTimeHasNoTimeZone() {
    // QLocale's long time carries a zone ("t"); a time read from the register has
    // none, and the zone would be the machine's, not the member's.
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedKingdom),
          QLocale(QLocale::Chinese, QLocale::China), QLocale(QLocale::Korean)}) {
        Regional::setLocaleForTesting(locale);
        const QString text = Regional::formatLongTime(QTime(14, 30, 5));
        QVERIFY2(!Regional::longTimeFormat().contains(u't'), qPrintable(locale.name()));
        QVERIFY2(!text.contains("UTC") && !text.contains("GMT"), qPrintable(text));
        QVERIFY2(text != Regional::formatLongTime(QTime(14, 30, 6)), qPrintable(text)); // seconds
    }
}

void TestRegional::currency_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("expected");
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("uk") << uk << 1234.5 << QString::fromUtf8("\u00a31,234.50");
    QTest::newRow("uk rounding") << uk << 1234567.891 << QString::fromUtf8("\u00a31,234,567.89");
    QTest::newRow("uk negative") << uk << -1234.5 << QString::fromUtf8("(\u00a31,234.50)");
    QTest::newRow("uk zero") << uk << 0.0 << QString::fromUtf8("\u00a30.00");
    QTest::newRow("uk tiny negative rest") << uk << -0.001 << QString::fromUtf8("\u00a30.00");
    QTest::newRow("uk negative zero") << uk << -0.0 << QString::fromUtf8("\u00a30.00");
    QTest::newRow("de") << de << 1234.5 << QString::fromUtf8("1.234,50\u00a0\u20ac");
    QTest::newRow("de negative") << de << -2.0 << QString::fromUtf8("-2,00\u00a0\u20ac");
}

void TestRegional::currency() {
    QFETCH(QLocale, locale);
    QFETCH(double, amount);
    QFETCH(QString, expected);
    Regional::setLocaleForTesting(locale);
    QCOMPARE(Regional::formatCurrency(amount), expected);
}

void TestRegional::resetReturnsToSystem() {
    qv::test::pinRegional();
    Regional::resetLocale();
    QCOMPARE(Regional::locale(), QLocale::system());
}

// A typed date is read in the system's order or as ISO, and one that does not
// exist is refused rather than rolled over into the next month.
void TestRegional::readDate_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("expected"); // invalid: refused
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QDate march12(2015, 3, 12);
    QTest::newRow("uk short") << uk << "12/03/2015" << march12;
    QTest::newRow("uk no zeros, dashes") << uk << " 12-3-2015 " << march12;
    QTest::newRow("uk iso") << uk << "2015-03-12" << march12;
    QTest::newRow("uk long") << uk << "Thursday, 12 March 2015" << march12;
    QTest::newRow("uk long, wrong day") << uk << "Monday, 12 March 2015" << QDate();
    QTest::newRow("us month first") << us << "3/12/2015" << march12;
    QTest::newRow("us iso") << us << "2015-03-12" << march12;
    QTest::newRow("de dots") << de << "12.03.2015" << march12;
    QTest::newRow("de trailing dot") << de << "12. 3. 2015." << march12;
    QTest::newRow("two digits, this century") << uk << "12/03/15" << march12;
    QTest::newRow("two digits, 19 years ahead") << uk << "1/1/45" << QDate(2045, 1, 1);
    QTest::newRow("two digits, 80 years back") << uk << "1/1/46" << QDate(1946, 1, 1);
    QTest::newRow("year 101") << uk << "04/03/101" << QDate(101, 3, 4);
    QTest::newRow("31 February") << uk << "31/02/2015" << QDate();
    QTest::newRow("iso 30 February") << uk << "2015-02-30" << QDate();
    QTest::newRow("month 13") << uk << "12/13/2015" << QDate();
    QTest::newRow("us day as month") << us << "12/31/2015" << QDate(2015, 12, 31);
    QTest::newRow("uk day as month") << uk << "12/31/2015" << QDate();
    QTest::newRow("before year 100") << uk << "0099-12-31" << QDate();
    QTest::newRow("words") << uk << "hello" << QDate();
    QTest::newRow("two parts") << uk << "12/03" << QDate();
    QTest::newRow("letters after") << uk << "12/03/2015x" << QDate();
    QTest::newRow("empty") << uk << "" << QDate();
}

void TestRegional::readDate() {
    QFETCH(QLocale, locale);
    QFETCH(QString, typed);
    QFETCH(QDate, expected);
    Regional::setLocaleForTesting(locale);
    QCOMPARE(Regional::readDate(typed, QDate(2026, 12, 7)), expected);
}

// A file's own order wins over the system's, with the same year rule.
void TestRegional::readNumericDate_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: refused
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("month first on a day-first system") << uk << "mdy"
                                                       << "12/31/2015" << QDate(2015, 12, 31);
    QTest::newRow("day first on a month-first system") << us << "dmy"
                                                       << "31.12.2015" << QDate(2015, 12, 31);
    QTest::newRow("two digits, 80 years back") << us << "dmy"
                                               << "1-2-46" << QDate(1946, 2, 1);
    QTest::newRow("no such day") << uk << "dmy"
                                 << "31/02/2015" << QDate();
    QTest::newRow("not numbers") << uk << "dmy"
                                 << "12 March 2015" << QDate();
}

void TestRegional::readNumericDate() {
    QFETCH(QLocale, locale);
    QFETCH(QString, order);
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    Regional::setLocaleForTesting(locale);
    QCOMPARE(Regional::readNumericDate(text, order, QDate(2026, 12, 7)), expected);
}

QTEST_GUILESS_MAIN(TestRegional)
#include "tst_regional.moc"
