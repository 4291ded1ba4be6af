#include "online/CertLookup.h"

#include "core/AppContext.h"
#include "core/Workstation.h"
#include "db/Sql.h"
#include "pricing/HttpFetch.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace velmor::online {

namespace {

const QString kTitle = QStringLiteral("GIA Certificate");

QString agentFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("velmor-certfetch.exe");
#else
    return QStringLiteral("velmor-certfetch");
#endif
}

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString sha256OfFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return QString::fromLatin1(h.result().toHex());
}

bool hasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

} // namespace

QString compactCertificate(const QString &typed)
{
    QString s = typed;
    return s.remove(QLatin1Char(' '));
}

bool writeRequestFile(const Workstation &ws, const GiaRequest &r)
{
    if (hasLineBreak(r.ip) || hasLineBreak(r.weight) || hasLineBreak(r.certificate))
        return false;
    return ws.writeLines(QStringLiteral("requestgia.ini"), {r.ip, r.weight, r.certificate});
}

QString readIpAddress(const Workstation &ws)
{
    return ws.readFirstLine(QStringLiteral("ipaddress.ini")).trimmed();
}

bool writeIpAddress(const Workstation &ws, const QString &ip)
{
    if (hasLineBreak(ip))
        return false;
    return ws.writeLines(QStringLiteral("ipaddress.ini"), {ip});
}

QString publicIpFromPage(const QByteArray &page)
{
    const QString text = QString::fromUtf8(page);
    const QString key = QStringLiteral("Address: ");
    const int at = text.indexOf(key);
    if (at < 0)
        return {};
    const int from = at + key.size();
    int to = text.indexOf(QLatin1Char(','), from);
    if (to < 0)
        to = text.indexOf(QLatin1Char('<'), from);
    const QString ip = (to < 0 ? text.mid(from) : text.mid(from, to - from)).trimmed();
    return hasLineBreak(ip) || ip.size() > 64 ? QString() : ip;
}

IpRefresh fetchPublicIp(const OnlineSettings &s)
{
    IpRefresh out;
    pricing::HttpLimits limits;
    limits.timeoutMs = s.serviceTimeoutMs;
    limits.maxBytes = 1024 * 1024; // a page that shows one address
    const pricing::HttpResult r =
        pricing::httpGet(QUrl(s.ipEcho), {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}}, limits);
    if (!r.ok) {
        out.error = QStringLiteral("The public IP address could not be fetched: %1").arg(r.error);
        return out;
    }
    out.ip = publicIpFromPage(r.body);
    if (out.ip.isEmpty())
        out.error = QStringLiteral("The page %1 shows no address (\"Address: \" is missing).").arg(s.ipEcho);
    return out;
}

bool giaAlreadyInSystem(const QSqlDatabase &db, const QString &certificate)
{
    QString like = compactCertificate(certificate);
    like.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return db::scalar(db,
                      QStringLiteral("SELECT ID FROM SingleStone WHERE Certificate LIKE ? AND Laboratory LIKE 'GIA' "
                                     "LIMIT 1"),
                      {QLatin1Char('%') + like + QLatin1Char('%')})
        .isValid();
}

QString duplicateMessage(const QString &certificate)
{
    return QStringLiteral("A GIA with the Cert# ") + certificate + QStringLiteral(" is already in the  System");
}

QString reportFileName(const QString &certificate)
{
    QString n = compactCertificate(certificate);
    for (QChar &c : n)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return QStringLiteral("GIA") + n + QStringLiteral(".pdf");
}

AgentChoice chooseAgent(const Workstation &ws, const OnlineSettings &s)
{
    AgentChoice c;
    const QString installed = s.agent.isEmpty()
        ? QCoreApplication::applicationDirPath() + QLatin1Char('/') + agentFileName()
        : s.agent;
    if (!s.agentUrl.isEmpty() && !s.agentSha256.isEmpty()) {
        // A replacement runs only when it is exactly the file expected.
        const QString replacement = ws.path(agentFileName());
        if (QFileInfo::exists(replacement) && sha256OfFile(replacement) == s.agentSha256) {
            c.program = replacement;
            return c;
        }
        pricing::HttpLimits limits;
        limits.timeoutMs = s.serviceTimeoutMs;
        limits.maxBytes = 128 * 1024 * 1024; // a program of a few megabytes
        const pricing::HttpResult r = pricing::httpGet(QUrl(s.agentUrl), {}, limits);
        if (!r.ok || r.body.isEmpty()) {
            c.note = QStringLiteral("The replacement agent was not fetched (%1); the installed one runs.")
                         .arg(r.ok ? QStringLiteral("empty download") : r.error);
        } else if (sha256(r.body) != s.agentSha256) {
            c.note = QStringLiteral("The downloaded agent does not match agentsha256 of online.ini; it was not "
                                    "run, the installed one runs.");
        } else {
            QSaveFile f(replacement);
            if (f.open(QIODevice::WriteOnly) && f.write(r.body) == r.body.size() && f.commit()) {
                QFile::setPermissions(replacement, QFile::permissions(replacement) | QFileDevice::ExeOwner
                                                       | QFileDevice::ReadOwner);
                c.program = replacement;
                return c;
            }
            c.note = QStringLiteral("The replacement agent could not be written to %1; the installed one runs.")
                         .arg(replacement);
        }
    }
    const QFileInfo fi(installed);
    if (!fi.exists() || fi.isDir() || !fi.isExecutable()) {
        c.message = QStringLiteral("The certificate agent was not found:\n%1\n\nInstall velmor-certfetch beside "
                                   "Velmor, or name it with agent= in %2.")
                        .arg(QDir::toNativeSeparators(installed), ws.path(OnlineSettings::fileName()));
        return c;
    }
    c.program = installed;
    return c;
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    if (done())
        return true;
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(15);
    bool ok = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            ok = true;
            loop.quit();
        } else if (t.elapsed() >= ms) {
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    return ok || done();
}

GiaLookup::GiaLookup(const Workstation &ws, const OnlineSettings &s) : m_ws(ws), m_settings(s) {}

GiaLookup::~GiaLookup()
{
    stopAgent();
}

bool GiaLookup::agentRunning() const
{
    return m_agent && m_agent->state() != QProcess::NotRunning;
}

void GiaLookup::stopAgent()
{
    if (!agentRunning())
        return;
    m_agent->kill();
    m_agent->waitForFinished(3000);
}

GiaLookup::Result GiaLookup::fetch()
{
    Result r;
    const QString xml = m_ws.path(QStringLiteral("xmlResponse.xml"));
    QFile::remove(xml);
    QFile::remove(m_ws.path(QStringLiteral("pdfResponse.pdf")));

    const AgentChoice agent = chooseAgent(m_ws, m_settings);
    m_note = agent.note;
    if (agent.program.isEmpty()) {
        r.outcome = NoAgent;
        r.message = agent.message;
        return r;
    }
    m_agent = std::make_unique<QProcess>();
    m_agent->setWorkingDirectory(m_ws.folder());
    m_agent->setProcessChannelMode(QProcess::SeparateChannels);
    m_agent->start(agent.program, {m_ws.folder()});
    if (!m_agent->waitForStarted(10000)) {
        r.outcome = AgentFailed;
        r.message = QStringLiteral("The certificate agent could not be started:\n%1\n(%2)")
                        .arg(QDir::toNativeSeparators(agent.program), m_agent->errorString());
        return r;
    }

    // The answer is there once the file reads as a whole document; a file
    // still being written reads as cut short and is waited for.
    QString why;
    bool unreadable = false;
    auto answered = [&] {
        // Whether the agent still runs is taken before the file is looked
        // at: an agent that had ended cannot write it afterwards.
        const bool running = agentRunning();
        if (!QFileInfo::exists(xml))
            return !running;
        QFile f(xml);
        if (!f.open(QIODevice::ReadOnly)) {
            why = f.errorString();
            unreadable = !running;
            return !running;
        }
        bool incomplete = false;
        if (GiaAnswer::parse(f.readAll(), r.answer, &why, &incomplete))
            return true;
        if (incomplete && running)
            return false;
        unreadable = true;
        return true;
    };
    if (!waitFor(answered, m_settings.answerTimeoutMs)) {
        stopAgent();
        r.outcome = TimedOut;
        r.message = QStringLiteral("The laboratory did not answer within %1 seconds.\n\nNothing was changed; "
                                   "please try again later.")
                        .arg(m_settings.answerTimeoutMs / 1000);
        return r;
    }
    if (unreadable) {
        r.outcome = Unreadable;
        r.answer = GiaAnswer();
        r.message = QStringLiteral("The certificate agent's answer could not be read (%1).\n\nNothing was changed.")
                        .arg(why);
        return r;
    }
    if (!QFileInfo::exists(xml)) {
        const QString said = QString::fromUtf8(m_agent->readAllStandardError()).trimmed();
        r.outcome = AgentFailed;
        r.message = QStringLiteral("The certificate agent ended without an answer (exit code %1).%2")
                        .arg(m_agent->exitCode())
                        .arg(said.isEmpty() ? QString() : QStringLiteral("\n\n") + said.right(500));
        return r;
    }
    if (!r.answer.error.isEmpty()) {
        r.outcome = NoGrading;
        r.message = QStringLiteral("The laboratory gave no grading:\n%1").arg(r.answer.error);
        return r;
    }
    r.outcome = Found;
    return r;
}

QString GiaLookup::copyReport(const QString &certificate, const QString &folder)
{
    const QString pdf = m_ws.path(QStringLiteral("pdfResponse.pdf"));
    // An agent that has ended without the file will not write it any more.
    waitFor(
        [&] {
            const bool running = agentRunning();
            return QFileInfo::exists(pdf) || !running;
        },
        15000);
    if (!QFileInfo::exists(pdf)) {
        stopAgent();
        return {};
    }
    // A report still being written is copied once its size holds still.
    QElapsedTimer limit;
    limit.start();
    for (;;) {
        const qint64 before = QFileInfo(pdf).size();
        waitFor([] { return false; }, 1500);
        const qint64 after = QFileInfo(pdf).size();
        if (after == before || limit.elapsed() > 120000)
            break;
    }
    waitFor([] { return false; }, 500);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    const QString target = QDir(folder).filePath(reportFileName(certificate));
    QFile::remove(target);
    if (!QFile::copy(pdf, target))
        return {};
    QFile::remove(pdf);
    return target;
}

QString documentFolder(const AppContext &ctx, const OnlineSettings &s)
{
    if (!s.documents.isEmpty())
        return s.documents;
    if (!ctx.settings.sharedFolder.isEmpty())
        return ctx.settings.sharedFolder;
    return ctx.workstation.folder();
}

bool runCertificateLookup(AppContext &ctx, const GiaRequest &request,
                          const std::function<bool(const GiaAnswer &)> &fill,
                          const std::function<void(const QString &reportPath)> &report)
{
    const OnlineSettings s = OnlineSettings::fromWorkstation(ctx.workstation);
    GiaLookup lookup(ctx.workstation, s);
    const GiaLookup::Result r = lookup.fetch();
    if (!lookup.agentNote().isEmpty())
        ctx.prompt().notice(lookup.agentNote(), 3000);
    if (r.outcome != GiaLookup::Found) {
        ctx.prompt().inform(r.message, kTitle, Icon::Exclamation);
        return false;
    }
    if (!fill(r.answer))
        return false;
    const QString copied = lookup.copyReport(request.certificate, documentFolder(ctx, s));
    if (!copied.isEmpty() && report)
        report(copied);
    return true;
}

const QList<GiaField> &giaFields()
{
    static const QList<GiaField> f = {
        {"txtDim1", "WIDTH"},
        {"txtDim2", "DEPTH"},
        {"txtDim3", "LENGTH"},
        {"txtWeight", "WEIGHT"},
        {"cboColour", "COLOR"},
        {"cboClarity", "CLARITY"},
        {"cboCut", "FINAL_CUT"},
        {"txtTotalDepth", "DEPTH_PCT"},
        {"txtTableSize", "TABLE_PCT"},
        {"txtCrownAngle", "CRN_AG"},
        {"txtCrownHeight", "CRN_HT"},
        {"txtPavillionAngle", "PAV_AG"},
        {"txtPavillionDepth", "PAV_DP"},
        {"cboGirdle", "GIRDLE"},
        {"cboCulet", "CULET_SIZE"},
        {"cboFinishPolish", "POLISH"},
        {"cboFinishSymetry", "SYMMETRY"},
        {"cboFlourescence", "FLUORESCENCE_INTENSITY"},
        {"cboShape", "SHAPE"},
        {"txtComment", "REPORT_COMMENTS"},
        {"txtInscription1", "INSCRIPTION"},
    };
    return f;
}

} // namespace velmor::online
