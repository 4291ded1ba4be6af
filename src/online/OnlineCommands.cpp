// `velmor http ...` and `velmor cert lookup ...`: the HTTP client and the
// certificate look-up without a window.
#include "online/OnlineCommands.h"

#include "core/AppContext.h"
#include "core/LocalFiles.h"
#include "db/Sql.h"
#include "online/CertLookup.h"
#include "online/clsHTTP.h"
#include "pricing/Grades.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

namespace velmor {

namespace {

using online::clsHTTP;

// "user:password" for the proxy from a file, or from standard input for
// "-": the first line.  Given on the command line, every account on the
// machine sees it (ps); from here, nobody does.
bool readProxyAuth(const QString &from, QString *userPassword, CliIo &io)
{
    QByteArray bytes;
    if (from == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            io.err << "velmor: standard input cannot be read" << Qt::endl;
            return false;
        }
        bytes = in.readLine(64 * 1024);
    } else {
        QString why;
        if (!files::readRegular(from, 64 * 1024, &bytes, &why)) {
            io.err << "velmor: --proxy-auth-file " << from << ": " << why << Qt::endl;
            return false;
        }
    }
    const QString line = QString::fromUtf8(bytes).section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
    if (line.isEmpty()) {
        io.err << "velmor: --proxy-auth-file " << from << " holds no user:password line" << Qt::endl;
        return false;
    }
    *userPassword = line;
    return true;
}

int runHttp(int method, const QStringList &args, CliIo &io)
{
    clsHTTP http;
    http.Method = method;
    bool multipart = false;
    bool maxTimeGiven = false;
    QString url;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                io.err << "velmor: " << a << " needs a value" << Qt::endl;
                return QString();
            }
            return args.at(++i);
        };
        if (a == QLatin1String("--form") || a == QLatin1String("--file")) {
            const QString v = value();
            const int eq = v.indexOf(QLatin1Char('='));
            if (eq <= 0) {
                io.err << "velmor: " << a << " takes name=value" << Qt::endl;
                return 2;
            }
            const bool file = a == QLatin1String("--file");
            if (!http.AddElement(v.left(eq), v.mid(eq + 1), file ? clsHTTP::FileField : clsHTTP::TextField)) {
                io.err << "velmor: " << a << " " << v << " refused"
                       << (file ? " (no such file, or a folder)" : " (a line break or a quote in the name)")
                       << Qt::endl;
                return 2;
            }
        } else if (a == QLatin1String("--multipart")) {
            multipart = true;
        } else if (a == QLatin1String("--proxy")) {
            http.setProxyServer(value());
        } else if (a == QLatin1String("--proxy-auth")) {
            http.setProxyAuth(value());
            io.err << "velmor: note: --proxy-auth on the command line is seen by every account of this machine; "
                      "--proxy-auth-file FILE (or - for standard input) is not"
                   << Qt::endl;
        } else if (a == QLatin1String("--proxy-auth-file")) {
            QString userPassword;
            if (!readProxyAuth(value(), &userPassword, io))
                return 2;
            http.setProxyAuth(userPassword);
        } else if (a == QLatin1String("--max-time") || a == QLatin1String("--max-size")) {
            const QString v = value();
            bool ok = false;
            const qint64 n = v.toLongLong(&ok);
            if (!ok || n < 1) {
                io.err << "velmor: " << a << " takes a whole number above 0 ("
                       << (a == QLatin1String("--max-time") ? "seconds" : "megabytes") << "), not \"" << v << "\""
                       << Qt::endl;
                return 2;
            }
            if (a == QLatin1String("--max-time")) {
                http.MaxSeconds = int(qMin<qint64>(n, 86400 * 7));
                maxTimeGiven = true;
            } else {
                http.MaxBytes = qMin<qint64>(n, qint64(1) << 20) * 1024 * 1024;
            }
        } else if (a == QLatin1String("--save")) {
            http.SaveAs = QFileInfo(value()).absoluteFilePath();
        } else if (a == QLatin1String("--timeout")) {
            // Whole seconds above 0; anything else is refused, never read as 1.
            const QString v = value();
            bool ok = false;
            const int seconds = v.trimmed().toInt(&ok);
            if (!ok || seconds < 1) {
                io.err << "velmor: --timeout takes a whole number of seconds above 0, not \"" << v << "\""
                       << Qt::endl;
                return 2;
            }
            http.Timeout = seconds;
        } else if (a.startsWith(QLatin1String("--"))) {
            io.err << "velmor: unknown option " << a << Qt::endl;
            return 2;
        } else if (url.isEmpty()) {
            url = a;
        } else {
            io.err << "velmor: one URL only (" << a << ")" << Qt::endl;
            return 2;
        }
    }
    if (url.isEmpty()) {
        io.err << "velmor: no URL given" << Qt::endl;
        return 2;
    }
    http.Action = url;
    http.EncType = multipart ? 1 : 0;
    // The time given is the whole transfer's too, unless --max-time says
    // otherwise: a server that trickles without end does not keep it going.
    if (!maxTimeGiven)
        http.MaxSeconds = http.Timeout;

    QEventLoop loop;
    int rc = 1;
    QObject::connect(&http, &clsHTTP::Complete, &loop, [&](const QString &headers, const QString &file) {
        io.out << headers;
        if (headers.trimmed().isEmpty()) {
            io.err << "velmor: the server closed the connection without an answer" << Qt::endl;
            rc = 1;
        } else {
            const int status = headers.section(QLatin1Char(' '), 1, 1).toInt();
            if (method != clsHTTP::HEAD)
                io.out << "Body: " << http.bodyBytes() << " bytes in " << file << Qt::endl;
            rc = status >= 100 && status < 400 ? 0 : 1;
        }
        loop.quit();
    });
    QObject::connect(&http, &clsHTTP::Error, &loop, [&](int code) {
        io.err << "velmor: " << clsHTTP::errorText(code);
        if ((code == clsHTTP::SocketError || code == clsHTTP::RedirectError) && !http.socketErrorText().isEmpty())
            io.err << " (" << http.socketErrorText() << ")";
        if (!http.limitText().isEmpty())
            io.err << " (" << http.limitText() << "; "
                   << (code == clsHTTP::LimitError ? "--max-size" : "--max-time") << " sets it)";
        else if (code == clsHTTP::TimeoutError)
            io.err << " (no data for " << http.Timeout << " s)";
        io.err << Qt::endl;
        rc = 1;
        loop.quit();
    });
    http.Submit();
    loop.exec();
    return rc;
}

int runCertLookup(const QStringList &args, CliIo &io)
{
    if (args.size() != 2) {
        io.err << "Usage: velmor cert lookup NUMBER WEIGHT" << Qt::endl;
        return 2;
    }
    Workstation ws;
    AppContext ctx(ws, ws.connectionSettings());
    // The database gives the grade entries and the duplicate check; the
    // look-up itself does without it.
    QString dummy;
    QTextStream quiet(&dummy);
    CliIo quietIo{quiet, quiet};
    const bool haveDb = openCliContext(ctx, quietIo, true);
    if (!haveDb)
        io.err << "velmor: no database (" << dummy.trimmed() << "); grades are shown as the laboratory gives them"
               << Qt::endl;

    const online::GiaRequest request{online::readIpAddress(ws), args.at(1), online::compactCertificate(args.at(0))};
    if (request.certificate.isEmpty() || !online::writeRequestFile(ws, request)) {
        io.err << "velmor: the request file " << ws.path(QStringLiteral("requestgia.ini")) << " cannot be written"
               << Qt::endl;
        return 1;
    }
    if (haveDb) {
        try {
            if (online::giaAlreadyInSystem(ctx.db(), request.certificate))
                io.out << online::duplicateMessage(request.certificate) << Qt::endl;
        } catch (const db::DbError &) {
        }
    }
    const online::OnlineSettings s = online::OnlineSettings::fromWorkstation(ws);
    online::GiaLookup lookup(ws, s);
    const online::GiaLookup::Result r = lookup.fetch();
    if (!lookup.agentNote().isEmpty())
        io.err << "velmor: " << lookup.agentNote() << Qt::endl;
    if (r.outcome != online::GiaLookup::Found) {
        io.err << "velmor: " << r.message << Qt::endl;
        return 1;
    }
    QStringList colours, clarities;
    if (haveDb) {
        try {
            colours = pricing::gradeComboEntries(ctx.db(), pricing::GradeKind::Colour, ctx.settings.DontUseSplits);
            clarities = pricing::gradeComboEntries(ctx.db(), pricing::GradeKind::Clarity, ctx.settings.DontUseSplits);
        } catch (const db::DbError &) {
        }
    }
    auto row = [&](const QString &control, const QString &value, const QString &from) {
        io.out << "  " << control.leftJustified(20) << ' ' << value.leftJustified(24) << ' ' << from << Qt::endl;
    };
    io.out << "Certificate " << request.certificate << " fills:" << Qt::endl;
    row(QStringLiteral("cboLaboratory"), QStringLiteral("GIA"), {});
    row(QStringLiteral("txtCertificate"), request.certificate, {});
    for (const online::GiaField &f : online::giaFields()) {
        const QString tag = QString::fromLatin1(f.tag);
        if (!r.answer.has(tag)) {
            row(QString::fromLatin1(f.control), QStringLiteral("(left as it is)"), QLatin1Char('<') + tag + QStringLiteral("> missing"));
            continue;
        }
        QString value = r.answer.value(tag);
        const QString control = QString::fromLatin1(f.control);
        if (haveDb && (control == QLatin1String("cboColour") || control == QLatin1String("cboClarity"))) {
            const QStringList &entries = control == QLatin1String("cboColour") ? colours : clarities;
            const int i = online::matchGradeEntry(entries, value);
            value = i < 0 ? QStringLiteral("(no entry for %1; left as it is)").arg(value) : entries.at(i);
        }
        row(control, value, QLatin1Char('<') + tag + QLatin1Char('>'));
    }
    const QString copied = lookup.copyReport(request.certificate, online::documentFolder(ctx, s));
    io.out << "Report PDF: " << (copied.isEmpty() ? QStringLiteral("none") : copied) << Qt::endl;
    return 0;
}

} // namespace

CliRegistry onlineCommands()
{
    const QString httpArgs = QStringLiteral("URL [--form n=v]... [--file n=path]... [--multipart] [--proxy h:p] "
                                            "[--proxy-auth u:p | --proxy-auth-file FILE|-] [--save FILE] "
                                            "[--timeout S] [--max-time S] [--max-size MB]");
    return {
        {{QStringLiteral("http"), QStringLiteral("get")}, httpArgs, QStringLiteral("GET through Velmor's HTTP client"),
         [](const QStringList &a, CliIo &io) { return runHttp(clsHTTP::GET, a, io); }},
        {{QStringLiteral("http"), QStringLiteral("head")}, QStringLiteral("URL [options as for get]"),
         QStringLiteral("HEAD: the response headers only"),
         [](const QStringList &a, CliIo &io) { return runHttp(clsHTTP::HEAD, a, io); }},
        {{QStringLiteral("http"), QStringLiteral("post")}, QStringLiteral("URL [options as for get]"),
         QStringLiteral("POST the form (URL-encoded, or --multipart)"),
         [](const QStringList &a, CliIo &io) { return runHttp(clsHTTP::POST, a, io); }},
        {{QStringLiteral("cert"), QStringLiteral("lookup")}, QStringLiteral("NUMBER WEIGHT"),
         QStringLiteral("runs the certificate agent and prints the fields it fills"), runCertLookup},
    };
}

} // namespace velmor
