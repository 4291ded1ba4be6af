// The certificate look-up end to end on this machine: velmor-certfetch
// against a local laboratory service answering with recorded answers, the
// wait for the agent (time limit, missing agent, garbage, a report PDF still
// being written), the stone screen filled through the look-up dialog, and the
// `velmor cert lookup` and `velmor http` commands.
#include "../stones/StoneTestEnv.h"
#include "LocalHttpServer.h"
#include "online/CertLookup.h"
#include "online/frmGIA.h"
#include "shell/widgets/StartupFlow.h"
#include "stones/frmDiamondDetail.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace velmor;
using namespace velmor::online;
using namespace velmor::test;
using velmor::ui::frmDiamondDetail;

namespace {

const QString kKey = QStringLiteral("TESTKEY-42");

QByteArray recorded(const QString &name)
{
    QFile f(QStringLiteral(VELMOR_TEST_DATA "/online/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    f.close();
    if (executable)
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
}

QString binaryDir()
{
    return QFileInfo(qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY)).absolutePath();
}

// The laboratory's service as its documentation shows it, with recorded answers.
struct LabService {
    LocalHttpServer http{[this](QTcpSocket *s, const HttpRequest &r) { respond(s, r); }};
    QList<QByteArray> keys;
    QString pdfBase; // where the answer's report link points; this server when empty

    void respond(QTcpSocket *s, const HttpRequest &r)
    {
        if (r.method() == "GET" && r.target().startsWith("/assets/")) {
            LocalHttpServer::answer(s, recorded("report.pdf"), "200 OK", "application/pdf");
            return;
        }
        keys << r.header("Authorization");
        if (r.header("Authorization") != kKey.toUtf8()) {
            LocalHttpServer::answer(s, recorded("gia_badkey.json"), "403 Forbidden", "application/json");
            return;
        }
        const QString number = QJsonDocument::fromJson(r.body)
                                   .object()
                                   .value("variables")
                                   .toObject()
                                   .value("ReportNumber")
                                   .toString();
        if (number == "2141438171")
            LocalHttpServer::answer(s, recorded("gia_found_fancy.json")
                                           .replace("@BASE@", (pdfBase.isEmpty() ? http.base() : pdfBase).toUtf8()),
                                    "200 OK", "application/json");
        else if (number == "5182736455")
            LocalHttpServer::answer(s, recorded("gia_found_round.json"), "200 OK", "application/json");
        else if (number == "2222222222")
            LocalHttpServer::answer(s, recorded("gia_garbage.txt"), "200 OK", "text/html");
        else if (number == "3333333333")
            return; // a slow service: never answers
        else
            LocalHttpServer::answer(s, recorded("gia_notfound.json"), "200 OK", "application/json");
    }
};

// A workstation folder with online.ini pointing at the local service.
struct Station {
    QTemporaryDir dir;
    Workstation ws{dir.path(), dir.path()};
    explicit Station(const QString &service, const QString &agent = binaryDir() + "/velmor-certfetch",
                     const QString &extra = {})
    {
        // The report links of the service on this machine are plain http.
        writeFile(ws.path("online.ini"), QStringLiteral("service=%1/graphql\nkey=%2\nservicetimeout=2\ntimeout=20\n"
                                                        "agent=%3\ndocuments=%4/docs\nallowhttp=yes\n%5")
                                             .arg(service, kKey, agent, dir.path(), extra)
                                             .toUtf8());
    }
    QString docs() const { return dir.path() + "/docs"; }
};

struct Run {
    int code = -1;
    QString out, err;
};

// Runs a program while this process's servers keep answering.
Run runProgram(const QString &program, const QStringList &args, const QString &home)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("VELMOR_HOME", home);
    p.setProcessEnvironment(e);
    p.start(program, args);
    waitFor([&] { return p.state() == QProcess::NotRunning; }, 60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

template <typename T>
T *ctl(QWidget &s, const char *name)
{
    T *c = s.findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

// Screens for the stone screen as the shell gives them: the look-up dialog
// whose request runs on the stone screen.
class LookupScreens : public Screens {
public:
    AppContext *ctx = nullptr;
    frmDiamondDetail *stone = nullptr;
    int opened = 0;
    bool available(Screen s) const override { return s == Screen::CertificateLookup; }
    bool openCertificateLookup(qint64) override
    {
        ++opened;
        frmGIA d(*ctx, stone);
        d.lookup = [this](const GiaRequest &r) { stone->lookupCertificate(r); };
        d.exec();
        return true;
    }
};

// Acts on the look-up dialog once it is shown.
void whenDialog(const std::function<void(frmGIA *)> &act)
{
    auto *poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto *d = qobject_cast<frmGIA *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(d);
        }
    });
    poll->start();
}

void typeInto(QLineEdit *e, const QString &text)
{
    e->selectAll();
    e->setText(text);
}

} // namespace

class TestCertLookup : public QObject {
    Q_OBJECT
private slots:
    void agentAgainstTheService_data();
    void agentAgainstTheService();
    void waitingForTheAgent();
    void reportStillBeingWritten();
    void addingAStoneFillsTheScreen();
    void shellOpensTheDialogOverTheStoneScreen();
    void duplicateCertificateIsRefused();
    void getGiaOnTheStoneScreen();
    void commands();
};

void TestCertLookup::agentAgainstTheService_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("weight");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // part of <ERROR>, empty for a grading
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<QString>("link"); // "file": the report link names a file of this machine; "no http": not allowed
    QTest::newRow("found with PDF") << "2141438171" << "0.51" << kKey << 0 << "" << true << "";
    QTest::newRow("found, no PDF offered") << "5182736455" << "" << kKey << 0 << "" << false << "";
    QTest::newRow("no such report") << "9999999999" << "1.00" << kKey << 1 << "REPORT NOT FOUND" << false << "";
    QTest::newRow("bad key") << "2141438171" << "0.51" << "WRONG" << 1 << "refused the key" << false << "";
    QTest::newRow("garbage") << "2222222222" << "1.00" << kKey << 1 << "not readable" << false << "";
    QTest::newRow("slow service") << "3333333333" << "1.00" << kKey << 1 << "did not answer within 2 seconds" << false
                                  << "";
    QTest::newRow("weight of another stone") << "2141438171" << "0.71" << kKey << 1 << "is for a stone of 0.51 ct"
                                             << false << "";
    // The grading is taken; a report link to a file of this machine is not
    // followed, nor a plain http one unless online.ini allows it.
    QTest::newRow("report link to a local file") << "2141438171" << "0.51" << kKey << 0 << "" << false << "file";
    QTest::newRow("plain http report link") << "2141438171" << "0.51" << kKey << 0 << "" << false << "no http";
}

void TestCertLookup::agentAgainstTheService()
{
    QFETCH(QString, number);
    QFETCH(QString, weight);
    QFETCH(QString, key);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QFETCH(bool, pdf);
    QFETCH(QString, link);
    LabService lab;
    Station st(lab.http.base());
    if (key != kKey)
        writeFile(st.ws.path("online.ini"), readAll(st.ws.path("online.ini")).replace(kKey.toUtf8(), key.toUtf8()));
    if (link == "file") {
        // A PDF of the dealer's own, where the link points.
        QDir().mkpath(st.dir.filePath("assets"));
        writeFile(st.dir.filePath("assets/2141438171.pdf"), "%PDF-1.4 the dealer's private papers");
        lab.pdfBase = QStringLiteral("file://localhost") + st.dir.path();
    } else if (link == "no http") {
        writeFile(st.ws.path("online.ini"), readAll(st.ws.path("online.ini")).replace("allowhttp=yes\n", ""));
    }
    QVERIFY(writeRequestFile(st.ws, {"203.0.113.9", weight, number}));
    const Run r = runProgram(binaryDir() + "/velmor-certfetch", {st.dir.path()}, st.dir.path());
    QCOMPARE(r.code, exitCode);
    GiaAnswer a;
    QVERIFY(GiaAnswer::parse(readAll(st.ws.path("xmlResponse.xml")), a));
    QCOMPARE(a.reportNumber, number);
    if (error.isEmpty()) {
        QCOMPARE(a.error, QString());
        QVERIFY(a.has("COLOR") && a.has("WEIGHT"));
    } else {
        QVERIFY2(a.error.contains(error), qPrintable(a.error));
        QVERIFY(a.isEmpty());
    }
    QCOMPARE(QFile::exists(st.ws.path("pdfResponse.pdf")), pdf);
    if (pdf)
        QCOMPARE(readAll(st.ws.path("pdfResponse.pdf")), recorded("report.pdf"));
    QCOMPARE(lab.keys.value(0), key.toUtf8());
    if (!link.isEmpty())
        QVERIFY2(r.err.contains(link == "file" ? "not an https address" : "allowhttp=yes"), qPrintable(r.err));
}

void TestCertLookup::waitingForTheAgent()
{
    QTemporaryDir tools;
    struct Case {
        const char *name;
        QByteArray script;
        GiaLookup::Outcome outcome;
        const char *message;
    };
    const Case cases[] = {
        {"sleeper", "#!/bin/sh\nsleep 30\n", GiaLookup::TimedOut, "did not answer within 1 seconds"},
        {"garbage", "#!/bin/sh\nprintf '<html><b>oops</html>' > \"$1/xmlResponse.xml\"\n", GiaLookup::Unreadable,
         "could not be read"},
        {"quitter", "#!/bin/sh\necho 'no network here' >&2\nexit 3\n", GiaLookup::AgentFailed,
         "exit code 3).\n\nno network here"},
        {"refusal", "#!/bin/sh\nprintf '<R><ERROR>No report 1</ERROR></R>' > \"$1/xmlResponse.xml\"\nexit 1\n",
         GiaLookup::NoGrading, "The laboratory gave no grading:\nNo report 1"},
        {"missing", QByteArray(), GiaLookup::NoAgent, "The certificate agent was not found"},
    };
    for (const Case &c : cases) {
        const QString agent = tools.filePath(c.name);
        if (!c.script.isEmpty())
            writeFile(agent, c.script, true);
        Station st("http://127.0.0.1:9", agent, "timeout=1\n");
        writeFile(st.ws.path("xmlResponse.xml"), "<old/>"); // an old answer is never read
        QVERIFY(writeRequestFile(st.ws, {"", "1.00", "123"}));
        QElapsedTimer t;
        t.start();
        GiaLookup lookup(st.ws, OnlineSettings::fromWorkstation(st.ws));
        const GiaLookup::Result r = lookup.fetch();
        QVERIFY2(r.outcome == c.outcome, c.name);
        QVERIFY2(r.message.contains(QString::fromUtf8(c.message)), qPrintable(r.message));
        QVERIFY2(t.elapsed() < 6000, c.name);
    }
}

void TestCertLookup::reportStillBeingWritten()
{
    QTemporaryDir tools;
    // The agent answers at once and then writes the report in two halves, a second apart.
    const QString agent = tools.filePath("writer");
    writeFile(agent,
              "#!/bin/sh\nprintf '<R><COLOR>G</COLOR></R>' > \"$1/xmlResponse.xml\"\n"
              "printf '%%PDF-1.4 first half ' > \"$1/pdfResponse.pdf\"\nsleep 1\n"
              "printf 'second half %%%%EOF' >> \"$1/pdfResponse.pdf\"\n",
              true);
    Station st("http://127.0.0.1:9", agent);
    QVERIFY(writeRequestFile(st.ws, {"", "1.00", "77 88"}));
    GiaLookup lookup(st.ws, OnlineSettings::fromWorkstation(st.ws));
    QCOMPARE(lookup.fetch().outcome, GiaLookup::Found);
    const QString copied = lookup.copyReport("77 88", st.docs());
    QCOMPARE(copied, st.docs() + "/GIA7788.pdf");
    QCOMPARE(readAll(copied), QByteArray("%PDF-1.4 first half second half %%EOF"));
    QVERIFY(!QFile::exists(st.ws.path("pdfResponse.pdf")));

    // An agent that ends without a report: skipped at once, not after 15 s.
    const QString plain = tools.filePath("plain");
    writeFile(plain, "#!/bin/sh\nprintf '<R><COLOR>G</COLOR></R>' > \"$1/xmlResponse.xml\"\n", true);
    Station st2("http://127.0.0.1:9", plain);
    GiaLookup lookup2(st2.ws, OnlineSettings::fromWorkstation(st2.ws));
    QCOMPARE(lookup2.fetch().outcome, GiaLookup::Found);
    QElapsedTimer t;
    t.start();
    QCOMPARE(lookup2.copyReport("1", st2.docs()), QString());
    QVERIFY(t.elapsed() < 3000);
}

void TestCertLookup::addingAStoneFillsTheScreen()
{
    LabService lab;
    StoneEnv e;
    Station st(lab.http.base());
    e.ctx.workstation = st.ws;
    writeFile(st.ws.path("ipaddress.ini"), "203.0.113.9\n");
    LookupScreens screens;
    screens.ctx = &e.ctx;
    e.ctx.setScreens(&screens);
    frmDiamondDetail s(e.ctx);
    screens.stone = &s;
    s.show();
    QTRY_VERIFY(s.startUpDone());

    bool waited = false;
    whenDialog([&](frmGIA *d) {
        QCOMPARE(ctl<QLineEdit>(*d, "txtIP")->text(), QString("203.0.113.9"));
        QCOMPARE(d->fieldText(ctl<QLineEdit>(*d, "txtWeight")), QString()); // still the hint
        typeInto(ctl<QLineEdit>(*d, "txtWeight"), "0.51");
        typeInto(ctl<QLineEdit>(*d, "txtCertNumber"), "2141 438171");
        QTest::mouseClick(ctl<QPushButton>(*d, "Image3"), Qt::LeftButton);
        waited = true;
    });
    QTest::mouseClick(ctl<QPushButton>(s, "cmdAddDiamond"), Qt::LeftButton);
    QVERIFY(waited);
    QCOMPARE(screens.opened, 1);
    QCOMPARE(st.ws.readLines("requestgia.ini"), (QStringList{"203.0.113.9", "0.51", "2141438171"}));
    QCOMPARE(s.editState().mode, stones::EditState::Adding);
    QCOMPARE(ctl<QComboBox>(s, "cboLaboratory")->currentText(), QString("GIA"));
    QCOMPARE(ctl<QLineEdit>(s, "txtCertificate")->text(), QString("2141438171"));
    QCOMPARE(ctl<QLineEdit>(s, "txtDim1")->text(), QString("3.88"));
    QCOMPARE(ctl<QLineEdit>(s, "txtDim2")->text(), QString("2.61"));
    QCOMPARE(ctl<QLineEdit>(s, "txtDim3")->text(), QString("5.29"));
    QCOMPARE(ctl<QLineEdit>(s, "txtWeight")->text(), QString("0.51"));
    QVERIFY(ctl<QComboBox>(s, "cboColour")->currentText().endsWith(" - E"));
    QVERIFY(ctl<QComboBox>(s, "cboClarity")->currentText().endsWith(" - VS2"));
    QCOMPARE(ctl<QLineEdit>(s, "txtTotalDepth")->text(), QString("67.2"));
    QCOMPARE(ctl<QLineEdit>(s, "txtTableSize")->text(), QString("63"));
    QCOMPARE(ctl<QComboBox>(s, "cboFinishPolish")->currentText(), QString("Very Good"));
    QCOMPARE(ctl<QComboBox>(s, "cboCulet")->currentText(), QString("Very Small"));
    QCOMPARE(ctl<QComboBox>(s, "cboShape")->currentText(), QString("Emerald Cut"));
    QCOMPARE(ctl<QLineEdit>(s, "txtInscription1")->text(), QString("GIA 2141438171"));
    QCOMPARE(ctl<QPlainTextEdit>(s, "txtComment")->toPlainText(),
             QString("Additional clouds are not shown & pinpoints are not shown."));
    QCOMPARE(ctl<QLineEdit>(s, "txtCrownAngle")->text(), QString()); // not in the answer
    QCOMPARE(readAll(st.docs() + "/GIA2141438171.pdf"), recorded("report.pdf"));
    QVERIFY(ctl<QPushButton>(s, "cmdGetGIA")->isEnabled());
    QVERIFY(ctl<QPushButton>(s, "cmdUpdate")->isEnabled());
    QCOMPARE(e.prompt.messages(), QStringList{});
    e.ctx.setScreens(nullptr);
}

void TestCertLookup::shellOpensTheDialogOverTheStoneScreen()
{
    qputenv("VELMOR_NO_SPLASH_PAUSE", "1");
    LabService lab;
    TestDb t;
    ScriptedPrompt prompt;
    Station st(lab.http.base());
    AppContext ctx(st.ws, t.settings(), &prompt);
    ctx.adopt(t.db());
    ctx.user.ID = 1;
    ctx.user.set("AllowDiamond2Create", true);
    ui::StartupFlow flow(ctx);
    QSignalSpy done(&flow, &ui::StartupFlow::finished);
    flow.start();
    QVERIFY(done.count() > 0 || done.wait(20000));
    QVERIFY(ctx.screens().available(Screen::CertificateLookup));
    frmDiamondDetail &s = *flow.stone();
    whenDialog([&](frmGIA *d) {
        QCOMPARE(d->parentWidget(), &s);
        typeInto(ctl<QLineEdit>(*d, "txtWeight"), "1.01");
        typeInto(ctl<QLineEdit>(*d, "txtCertNumber"), "5182736455");
        QTest::mouseClick(ctl<QPushButton>(*d, "Image3"), Qt::LeftButton);
    });
    s.addDiamond();
    QCOMPARE(ctl<QLineEdit>(s, "txtDim3")->text(), QString("6.48"));
    QVERIFY(ctl<QComboBox>(s, "cboColour")->currentText().endsWith(" - G"));
    QVERIFY(ctl<QComboBox>(s, "cboClarity")->currentText().endsWith(" - IF")); // "Internally Flawless"
    QCOMPARE(ctl<QComboBox>(s, "cboShape")->currentText(), QString("Round Brilliant [BR]"));
    QCOMPARE(ctl<QLineEdit>(s, "txtCrownAngle")->text(), QString("34.5"));
    QCOMPARE(prompt.messages(), QStringList{});

    // Closing the dialog adds the stone without a look-up.
    whenDialog([](frmGIA *d) { QTest::mouseClick(ctl<QPushButton>(*d, "Image2"), Qt::LeftButton); });
    s.cancel();
    const qint64 shown = db::insert(t.db(), "INSERT INTO SingleStone (SKU, Laboratory, Certificate, Dim3, Status) "
                                            "VALUES ('R5', 'GIA', 'X123', 7.1, 'Stock')");
    s.loadStone(int(shown));
    QCOMPARE(ctl<QLineEdit>(s, "txtCertificate")->text(), QString("X123"));
    s.addDiamond();
    QCOMPARE(ctl<QLineEdit>(s, "txtDim3")->text(), QString());
    QCOMPARE(ctl<QLineEdit>(s, "txtCertificate")->text(), QString()); // nothing of the stone before
    QCOMPARE(lab.http.requests.size(), 1);
}

void TestCertLookup::duplicateCertificateIsRefused()
{
    LabService lab;
    StoneEnv e;
    Station st(lab.http.base());
    e.ctx.workstation = st.ws;
    e.stone("R7"); // GIA "CR7"
    db::exec(e.t.db(), "UPDATE SingleStone SET Certificate='2141438171' WHERE SKU='R7'");
    frmGIA d(e.ctx);
    d.show();
    bool ran = false;
    d.lookup = [&](const GiaRequest &) { ran = true; };
    typeInto(ctl<QLineEdit>(d, "txtCertNumber"), " 2141 438 171");
    QTest::mouseClick(ctl<QPushButton>(d, "Image3"), Qt::LeftButton);
    QVERIFY(!ran);
    QVERIFY(d.isVisible());
    QCOMPARE(e.prompt.messages().size(), 1);
    QVERIFY(e.prompt.messages().first().endsWith("A GIA with the Cert# 2141438171 is already in the  System"));
    QCOMPARE(e.prompt.events.first().icon, Icon::Information);
    QVERIFY(lab.http.requests.isEmpty());
    QVERIFY(!QFile::exists(st.ws.path("requestgia.ini")));
}

void TestCertLookup::getGiaOnTheStoneScreen()
{
    QTemporaryDir tools;
    StoneEnv e;
    const qint64 id = e.stone("R9");
    db::exec(e.t.db(), "UPDATE SingleStone SET Comment='keep me', Dim1=1.5 WHERE ID=?", {id});
    frmDiamondDetail s(e.ctx);
    s.show();
    QTRY_VERIFY(s.startUpDone());
    s.loadStone(int(id));
    auto *get = ctl<QPushButton>(s, "cmdGetGIA");
    QVERIFY(!get->isEnabled()); // the screen is locked: nothing would be saved
    QTest::mouseClick(ctl<QPushButton>(s, "cmdEditDiamond"), Qt::LeftButton);
    QVERIFY(get->isEnabled());
    const QString colourBefore = ctl<QComboBox>(s, "cboColour")->currentText();
    typeInto(ctl<QLineEdit>(s, "txtCertificate"), "5182 736455");

    // A missing agent, then one that never answers: a clear message, nothing changed, the screen usable.
    for (const QString &agent : {tools.filePath("none"), tools.filePath("sleeper")}) {
        if (agent.endsWith("sleeper"))
            writeFile(agent, "#!/bin/sh\nsleep 30\n", true);
        Station st("http://127.0.0.1:9", agent, "timeout=1\n");
        e.ctx.workstation = st.ws;
        e.prompt.clear();
        QTest::mouseClick(get, Qt::LeftButton);
        QCOMPARE(e.prompt.messages().size(), 1);
        QVERIFY2(e.prompt.messages().first().contains(agent.endsWith("none") ? "was not found" : "did not answer"),
                 qPrintable(e.prompt.messages().first()));
        QVERIFY(get->isEnabled());
        QVERIFY(ctl<QPushButton>(s, "cmdUpdate")->isEnabled());
        QCOMPARE(ctl<QLineEdit>(s, "txtDim1")->text(), QString("1.5"));
        QCOMPARE(ctl<QComboBox>(s, "cboColour")->currentText(), colourBefore);
    }

    // An answer with a colour that fits no entry and without comments.
    const QString agent = tools.filePath("answer");
    writeFile(agent,
              "#!/bin/sh\nprintf '<R><COLOR>Fancy Light Pink</COLOR><CLARITY>SI2</CLARITY><WIDTH>6.45</WIDTH>"
              "<SHAPE>Round Brilliant</SHAPE></R>' > \"$1/xmlResponse.xml\"\n",
              true);
    Station st("http://127.0.0.1:9", agent);
    e.ctx.workstation = st.ws;
    writeFile(st.ws.path("ipaddress.ini"), "198.51.100.1\n");
    e.prompt.clear();
    QTest::mouseClick(get, Qt::LeftButton);
    QCOMPARE(e.prompt.messages(), QStringList{});
    QCOMPARE(st.ws.readLines("requestgia.ini"), (QStringList{"198.51.100.1", "1.01", "5182736455"}));
    QCOMPARE(ctl<QComboBox>(s, "cboColour")->currentText(), colourBefore);
    QVERIFY(ctl<QComboBox>(s, "cboClarity")->currentText().endsWith(" - SI2"));
    QCOMPARE(ctl<QLineEdit>(s, "txtDim1")->text(), QString("6.45"));
    QCOMPARE(ctl<QComboBox>(s, "cboShape")->currentText(), QString("Round Brilliant [BR]"));
    QCOMPARE(ctl<QPlainTextEdit>(s, "txtComment")->toPlainText(), QString("keep me"));
    QCOMPARE(ctl<QLineEdit>(s, "txtCertificate")->text(), QString("5182736455"));
}

void TestCertLookup::commands()
{
    LabService lab;
    TestDb t;
    Station st(lab.http.base());
    writeFile(st.ws.path("database.ini"), QStringLiteral("mode=server\nsocket=%1\nuser=root\ndatabase=%2\n")
                                              .arg(TestDb::socketPath(), t.name())
                                              .toUtf8());
    const QString velmor = qEnvironmentVariable("VELMOR_BINARY", VELMOR_BINARY);
    Run r = runProgram(velmor, {"cert", "lookup", "5182736455", "1.01"}, st.dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.contains(QRegularExpression("cboColour +40 - G +<COLOR>")));
    QVERIFY(r.out.contains(QRegularExpression("txtDim3 +6.48 +<LENGTH>")));
    QVERIFY(r.out.contains(QRegularExpression("txtComment +\\(left as it is\\) +<REPORT_COMMENTS> missing")));
    QVERIFY(r.out.contains("Report PDF: none"));
    r = runProgram(velmor, {"cert", "lookup", "9999999999", "1.00"}, st.dir.path());
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("REPORT NOT FOUND"));

    LocalHttpServer web([](QTcpSocket *s, const HttpRequest &r) {
        if (r.target() == "/slow")
            return;
        if (r.target() == "/continue") { // an interim answer first, the real one after it
            s->write("HTTP/1.1 100 Continue\r\n\r\n");
            QTimer::singleShot(100, s, [s] { LocalHttpServer::answer(s, "<html>after</html>"); });
            return;
        }
        if (r.target() == "/moved") {
            s->write("HTTP/1.1 302 Found\r\nLocation: /form\r\nContent-Length: 0\r\n\r\n");
            s->disconnectFromHost();
            return;
        }
        if (r.target() == "/cut") { // half of what it announces, then the line drops
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + QByteArray(500, 'x'));
            s->disconnectFromHost();
            return;
        }
        LocalHttpServer::answer(s, "<html>" + r.method() + " " + r.body + "</html>");
    });
    const QString saved = st.dir.filePath("page.html");
    r = runProgram(velmor, {"http", "post", web.url("/form"), "--form", "a=1 2", "--save", saved}, st.dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.startsWith("HTTP/1.1 200 OK\r\n"));
    QVERIFY(r.out.contains("Body: 23 bytes in " + saved));
    QCOMPARE(readAll(saved), QByteArray("<html>POST a=1+2</html>"));
    const QString cut = st.dir.filePath("cut.html");
    r = runProgram(velmor, {"http", "get", web.url("/cut"), "--save", cut}, st.dir.path());
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("A Socket-Error occured! (the connection closed after 500 of 1000 bytes)"));
    QVERIFY(!r.out.contains("Body:"));
    QVERIFY(!QFileInfo::exists(cut));
    r = runProgram(velmor, {"http", "get", web.url("/slow"), "--timeout", "1"}, st.dir.path());
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("A Timeout occured!"));
    // A time-out that is no number is refused, never taken as 1 s.
    for (const char *bad : {"abc", "0", "1.5"}) {
        r = runProgram(velmor, {"http", "get", web.url("/slow"), "--timeout", bad}, st.dir.path());
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QStringLiteral("--timeout takes a whole number of seconds above 0, not \"%1\"")
                                    .arg(QLatin1String(bad))),
                 qPrintable(r.err));
    }
    // The answer after an interim one, and the page a redirect leads to.
    r = runProgram(velmor, {"http", "get", web.url("/continue")}, st.dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.startsWith("HTTP/1.1 200 OK\r\n") && r.out.contains("Body: 18 bytes"), qPrintable(r.out));
    r = runProgram(velmor, {"http", "get", web.url("/moved")}, st.dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.startsWith("HTTP/1.1 200 OK\r\n") && r.out.contains("Body: 17 bytes"), qPrintable(r.out));
    r = runProgram(velmor, {"http", "get", "http://example.invalid/"}, st.dir.path());
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("A Socket-Error occured!"));
}

QTEST_MAIN(TestCertLookup)
#include "tst_certlookup.moc"
