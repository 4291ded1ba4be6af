// The certificate look-up's logic: the answer file read as XML and the plain
// way, the grade-entry rule, the laboratory service's recorded answers, the
// duplicate check, the IP-echo page and the choice of the agent.
#include "LocalHttpServer.h"
#include "TestDb.h"
#include "core/Workstation.h"
#include "db/Sql.h"
#include "online/CertLookup.h"
#include "online/GiaAnswer.h"
#include "online/GiaReportService.h"
#include "pricing/Grades.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmor;
using namespace velmor::online;
using namespace velmor::test;

namespace {

QByteArray recorded(const QString &name)
{
    QFile f(QStringLiteral(VELMOR_TEST_DATA "/online/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestGia : public QObject {
    Q_OBJECT
private slots:
    void answerFileReading();
    void gradeEntries();
    void serviceAnswers_data();
    void serviceAnswers();
    void serviceRequest();
    void duplicateCertificate();
    void ipFromEchoPage();
    void reportFileNames();
    void agentChoice();
};

void TestGia::answerFileReading()
{
    // A plain answer reads the same both ways.
    const QByteArray plain = recorded("answer_plain.xml");
    GiaAnswer xml;
    QVERIFY(GiaAnswer::parse(plain, xml));
    const GiaAnswer literal = GiaAnswer::parseLiteral(plain);
    QCOMPARE(xml.values(), literal.values());
    QCOMPARE(xml.values().size(), GiaAnswer::tags().size());
    QCOMPARE(xml.value("COLOR"), QString("G"));
    QCOMPARE(xml.value("REPORT_COMMENTS"), QString("Clouds are not shown."));
    QCOMPARE(xml.reportNumber, QString("1234567890"));

    // Entities and CDATA come out right only when read as XML.
    const QByteArray marked = recorded("answer_entities.xml");
    GiaAnswer e;
    QVERIFY(GiaAnswer::parse(marked, e));
    QCOMPARE(e.value("REPORT_COMMENTS"), QString("Pinpoints & clouds are not shown <see plot>."));
    QCOMPARE(e.value("INSCRIPTION"), QString("GIA 998 <LASER> & LOGO"));
    QCOMPARE(GiaAnswer::parseLiteral(marked).value("REPORT_COMMENTS"), QString("Pinpoints &amp; clouds are not shown &lt;see plot&gt;."));
    // Tags that are not there are absent, not empty.
    QVERIFY(!e.has("WEIGHT"));
    QVERIFY(!e.has("DEPTH_PCT"));

    // The agent's own file reads back whole.
    GiaAnswer back;
    QVERIFY(GiaAnswer::parse(e.toXml(), back));
    QCOMPARE(back.values(), e.values());

    // Garbage and a file cut short.
    GiaAnswer bad;
    QString why;
    bool incomplete = false;
    QVERIFY(!GiaAnswer::parse("<html><body>502</p></html>", bad, &why, &incomplete));
    QVERIFY(!incomplete);
    QVERIFY(!why.isEmpty());
    QVERIFY(!GiaAnswer::parse(plain.left(plain.size() / 2), bad, &why, &incomplete));
    QVERIFY(incomplete);
    QVERIFY(!GiaAnswer::parse("", bad, &why, &incomplete));
    QVERIFY(incomplete);

    GiaAnswer refused;
    QVERIFY(GiaAnswer::parse("<R><ERROR>No report 1 &amp; no luck</ERROR></R>", refused));
    QCOMPARE(refused.error, QString("No report 1 & no luck"));
    QVERIFY(refused.isEmpty());
}

void TestGia::gradeEntries()
{
    TestDb t;
    const QStringList colours = pricing::gradeComboEntries(t.db(), pricing::GradeKind::Colour, false);
    const QStringList clarities = pricing::gradeComboEntries(t.db(), pricing::GradeKind::Clarity, false);
    auto pick = [](const QStringList &l, const QString &g) {
        const int i = matchGradeEntry(l, g);
        return i < 0 ? QString("none") : l.at(i);
    };
    QVERIFY(pick(colours, "G").endsWith(" - G"));
    QVERIFY(pick(colours, "D").endsWith(" - D"));
    QVERIFY(pick(clarities, "VS1").endsWith(" - VS1"));   // not VVS1
    QVERIFY(pick(clarities, "VVS1").endsWith(" - VVS1")); // not the split grade "FL/VVS1" before it
    QVERIFY(pick(clarities, "VVS2").endsWith(" - VVS2"));
    QVERIFY(pick(clarities, "SI2").endsWith(" - SI2"));
    QVERIFY(pick(clarities, "IF").endsWith(" - IF"));
    QCOMPARE(pick(colours, "Fancy Vivid Yellow"), QString("none"));
    QCOMPARE(pick(colours, ""), QString("none"));
    QCOMPARE(pick(clarities, "Internally Flawless"), QString("none"));
    // The first entry that fits wins.
    QCOMPARE(matchGradeEntry({"", "35 - F", "40 - G", "990 - G"}, "G"), 2);
}

void TestGia::serviceAnswers_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");   // a piece of the error, empty for a grading
    QTest::addColumn<QStringList>("expect"); // TAG=value pairs
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("fancy, from the parts")
        << "gia_found_fancy.json" << 200 << ""
        << QStringList{"LENGTH=5.29", "WIDTH=3.88", "DEPTH=2.61", "WEIGHT=0.51", "COLOR=E", "CLARITY=VS2",
                       "DEPTH_PCT=67.2", "TABLE_PCT=63", "GIRDLE=Slightly Thick to Thick", "GIRDLE_CONDITION=Faceted",
                       "GIRDLE_PCT=4.5", "CULET_SIZE=Very Small", "POLISH=Very Good", "SYMMETRY=Good",
                       "FLUORESCENCE_INTENSITY=None", "SHAPE=Emerald Cut", "INSCRIPTION=GIA 2141438171",
                       "REPORT_COMMENTS=Additional clouds are not shown & pinpoints are not shown."}
        << QStringList{"FINAL_CUT", "CRN_AG", "PAV_DP"};
    QTest::newRow("round, from the text")
        << "gia_found_round.json" << 200 << ""
        << QStringList{"LENGTH=6.48", "WIDTH=6.45", "DEPTH=3.99", "WEIGHT=1.01", "COLOR=G", "CLARITY=IF",
                       "FINAL_CUT=Excellent", "DEPTH_PCT=61.7", "CRN_AG=34.5", "PAV_DP=43.0", "STR_LN=50",
                       "LR_HALF=75", "SHAPE=Round Brilliant"}
        << QStringList{"REPORT_COMMENTS", "GIRDLE_CONDITION"};
    QTest::newRow("no such report") << "gia_notfound.json" << 200 << "REPORT NOT FOUND" << QStringList{}
                                    << QStringList{"COLOR"};
    QTest::newRow("bad key") << "gia_badkey.json" << 403 << "refused the key (HTTP 403: Authorization denied.)"
                             << QStringList{} << QStringList{"COLOR"};
    QTest::newRow("garbage") << "gia_garbage.txt" << 200 << "not readable" << QStringList{} << QStringList{"COLOR"};
    QTest::newRow("server error") << "gia_garbage.txt" << 502 << "HTTP 502" << QStringList{} << QStringList{};
}

void TestGia::serviceAnswers()
{
    QFETCH(QString, file);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(QStringList, expect);
    QFETCH(QStringList, absent);
    const gia_service::ServiceAnswer a = gia_service::readAnswer("2141438171", status, recorded(file));
    if (error.isEmpty())
        QCOMPARE(a.answer.error, QString());
    else
        QVERIFY2(a.answer.error.contains(error), qPrintable(a.answer.error));
    for (const QString &pair : expect) {
        const QString tag = pair.section('=', 0, 0);
        QCOMPARE(a.answer.value(tag), pair.section('=', 1));
    }
    for (const QString &tag : absent)
        QVERIFY2(!a.answer.has(tag), qPrintable(tag));
    if (file == "gia_found_fancy.json") {
        QCOMPARE(a.pdfLink, QString("@BASE@/assets/2141438171.pdf"));
        QCOMPARE(a.weight, 0.51);
    }
}

void TestGia::serviceRequest()
{
    const QJsonObject body = QJsonDocument::fromJson(gia_service::requestBody("12 \"34")).object();
    QCOMPARE(body.value("variables").toObject().value("ReportNumber").toString(), QString("12 \"34"));
    QVERIFY(body.value("query").toString().contains("getReport(report_number: $ReportNumber)"));
    const auto headers = gia_service::requestHeaders("KEY-1");
    QCOMPARE(headers.at(0), qMakePair(QByteArray("Authorization"), QByteArray("KEY-1")));
    QCOMPARE(headers.at(1), qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
}

void TestGia::duplicateCertificate()
{
    TestDb t;
    db::exec(t.db(), "INSERT INTO SingleStone (SKU, Laboratory, Certificate) VALUES ('R1', 'GIA', '2141438171'), "
                     "('R2', 'IGI', '555'), ('R3', 'gia', 'LG 77_1')");
    QVERIFY(giaAlreadyInSystem(t.db(), "2141438171"));
    QVERIFY(giaAlreadyInSystem(t.db(), " 2141 438 171 ")); // spaces go before the search
    QVERIFY(giaAlreadyInSystem(t.db(), "438171"));         // part of a stored number, as the search has it
    QVERIFY(!giaAlreadyInSystem(t.db(), "555"));           // another laboratory
    QVERIFY(giaAlreadyInSystem(t.db(), "77_1"));
    QVERIFY(!giaAlreadyInSystem(t.db(), "77x1"));          // "_" is a character, not a wildcard
    QVERIFY(!giaAlreadyInSystem(t.db(), "%"));
    QVERIFY(!giaAlreadyInSystem(t.db(), "1' OR '1'='1"));
    QCOMPARE(duplicateMessage("2141438171"), QString("A GIA with the Cert# 2141438171 is already in the  System"));
}

void TestGia::ipFromEchoPage()
{
    QCOMPARE(publicIpFromPage("<html><body>Current IP Address: 203.0.113.7</body></html>"), QString("203.0.113.7"));
    QCOMPARE(publicIpFromPage("Address: 198.51.100.2, Port: 443<br>"), QString("198.51.100.2"));
    QCOMPARE(publicIpFromPage("<html>no address here</html>"), QString());

    LocalHttpServer echo([](QTcpSocket *s, const HttpRequest &r) {
        LocalHttpServer::answer(s, r.header("Cache-Control") == "no-cache"
                                       ? "<html><body>Current IP Address: 192.0.2.44</body></html>"
                                       : "<html><body>Current IP Address: stale</body></html>");
    });
    OnlineSettings s;
    s.ipEcho = echo.url("/");
    s.serviceTimeoutMs = 5000;
    QCOMPARE(fetchPublicIp(s).ip, QString("192.0.2.44"));
    s.ipEcho = "http://ip-echo.example.invalid/"; // not this machine: refused in tests
    const IpRefresh r = fetchPublicIp(s);
    QVERIFY(r.ip.isEmpty());
    QVERIFY(!r.error.isEmpty());
}

void TestGia::reportFileNames()
{
    QCOMPARE(reportFileName("2141438171"), QString("GIA2141438171.pdf"));
    QCOMPARE(reportFileName(" 21 41 "), QString("GIA2141.pdf"));
    QCOMPARE(reportFileName("../../etc/x"), QString("GIA______etc_x.pdf"));
}

void TestGia::agentChoice()
{
    QTemporaryDir dir;
    const Workstation ws(dir.path(), dir.path());
    const QByteArray good = "#!/bin/sh\necho replacement\n";
    const QString sha = QString::fromLatin1(QCryptographicHash::hash(good, QCryptographicHash::Sha256).toHex());
    const QString installed = dir.filePath("installed-agent");
    writeFile(installed, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(installed, QFile::permissions(installed) | QFileDevice::ExeOwner);

    OnlineSettings s;
    s.serviceTimeoutMs = 5000;
    s.agent = dir.filePath("nowhere/velmor-certfetch");
    AgentChoice c = chooseAgent(ws, s);
    QVERIFY(c.program.isEmpty());
    QVERIFY(c.message.contains("nowhere/velmor-certfetch"));

    s.agent = installed;
    QCOMPARE(chooseAgent(ws, s).program, installed);

    QByteArray served = "#!/bin/sh\necho tampered\n";
    LocalHttpServer download([&](QTcpSocket *sock, const HttpRequest &) {
        LocalHttpServer::answer(sock, served, "200 OK", "application/octet-stream");
    });
    // A download address without a hash, or a download that does not match: the installed one.
    s.agentUrl = download.url("/agent");
    QCOMPARE(chooseAgent(ws, s).program, installed);
    s.agentSha256 = sha;
    c = chooseAgent(ws, s);
    QCOMPARE(c.program, installed);
    QVERIFY(c.note.contains("does not match"));
    QVERIFY(!QFile::exists(ws.path("velmor-certfetch")));
    // The expected file: written to the workstation folder and run from there.
    served = good;
    c = chooseAgent(ws, s);
    QCOMPARE(c.program, ws.path("velmor-certfetch"));
    QVERIFY(QFileInfo(c.program).isExecutable());
    const int fetched = download.requests.size();
    QCOMPARE(chooseAgent(ws, s).program, ws.path("velmor-certfetch")); // kept, not fetched again
    QCOMPARE(download.requests.size(), fetched);
}

QTEST_MAIN(TestGia)
#include "tst_gia.moc"
