#pragma once
// Shared pieces of the pricing tests: a context on a fresh database, grid
// and stone rows, grid files, and a local HTTP server with canned answers.
#include "core/AppContext.h"
#include "db/Sql.h"
#include "ScriptedPrompt.h"
#include "TestDb.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <memory>

namespace velmor::test {

struct PricingEnv {
    QTemporaryDir dir;
    TestDb t;
    ScriptedPrompt prompt;
    AppContext ctx{Workstation(dir.path(), dir.path() + QStringLiteral("/program")), t.settings(), &prompt};
    PricingEnv()
    {
        ctx.adopt(t.db());
        // The grid's download re-prices the stones: a user with the edit right.
        ctx.user.ID = 7;
        ctx.user.AllowEdit = true;
    }
    QSqlDatabase db() const { return t.db(); }
    QString path(const QString &f) const { return dir.filePath(f); }
};

inline void addGridRow(const QSqlDatabase &db, const QString &shape, const QString &colour, const QString &clarity,
                       double low, double high, double price)
{
    db::exec(db, QStringLiteral("INSERT INTO raplist (Shape, Colour, Clarity, LowCarat, HighCarat, Price, `Date`) "
                                "VALUES (?,?,?,?,?,?, '2026-11-27')"),
             {shape, colour, clarity, low, high, price});
}

struct TestStone {
    QVariant shape;
    QVariant carat;
    QVariant colour;  // grade number
    QVariant clarity; // grade number
    bool lock = true;
    double off = 0;
    bool lockLx = false;
    double offLx = 0;
    QVariant rap;     // RapaportPrice before
    QVariant sellUS = 1234.5;
    QVariant sellLx = 999.0;
};

inline qint64 addStone(const QSqlDatabase &db, const TestStone &s)
{
    return db::insert(db,
                      QStringLiteral("INSERT INTO SingleStone (SKU, Shape, Carat, Colour, Clarity, LockPercent, SellOffRap, "
                                     "LockPercentlx, SellOffRapLX, RapaportPrice, SellPriceUS, SellPriceUSlx, RND, "
                                     "Status) VALUES ('S', ?,?,?,?,?,?,?,?,?,?,?, 7, 'Stock')"),
                      {s.shape, s.carat, s.colour, s.clarity, s.lock ? -1 : 0, s.off, s.lockLx ? -1 : 0, s.offLx, s.rap,
                       s.sellUS, s.sellLx});
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

// Four grid files in a folder; pear's text also goes to marquise and princess
// unless given.
inline void writeGridFiles(const QString &folder, const QByteArray &round, const QByteArray &pear,
                           const QByteArray &marquise = {}, const QByteArray &princess = {})
{
    QDir().mkpath(folder);
    writeFile(folder + QStringLiteral("/round.csv"), round);
    writeFile(folder + QStringLiteral("/pear.csv"), pear);
    writeFile(folder + QStringLiteral("/marquise.csv"), marquise.isEmpty() ? pear : marquise);
    writeFile(folder + QStringLiteral("/princess.csv"), princess.isEmpty() ? pear : princess);
}

// A small HTTP/1.0-style server: each path has a canned body (and status);
// a path marked as silent is never answered (to test time limits).  The
// last request of each path is kept.
class LocalHttpServer {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        bool silent = false;
        int delayMs = 0;
    };
    struct Request {
        QByteArray method, path, body;
        QHash<QByteArray, QByteArray> headers; // lower-case names
    };

    LocalHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                auto buffer = std::make_shared<QByteArray>();
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, buffer] {
                    buffer->append(s->readAll());
                    handle(s, *buffer);
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    void set(const QByteArray &path, const QByteArray &body, int status = 200) { m_answers[path] = {status, body, false}; }
    void silence(const QByteArray &path) { m_answers[path] = {200, {}, true}; }
    // The answer of `path` leaves only after `ms` milliseconds.
    void delay(const QByteArray &path, int ms) { m_answers[path].delayMs = ms; }
    QHash<QByteArray, Request> requests;
    QHash<QByteArray, int> hits; // requests per path

private:
    void handle(QTcpSocket *s, const QByteArray &buf)
    {
        const int headerEnd = buf.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        Request r;
        const QList<QByteArray> lines = buf.left(headerEnd).split('\n');
        const QList<QByteArray> first = lines.first().trimmed().split(' ');
        if (first.size() < 2)
            return;
        r.method = first[0];
        r.path = first[1];
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                r.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
        }
        const int length = r.headers.value("content-length", "0").toInt();
        if (buf.size() < headerEnd + 4 + length)
            return; // wait for the body
        r.body = buf.mid(headerEnd + 4, length);
        requests[r.path] = r;
        ++hits[r.path];
        const auto it = m_answers.constFind(r.path);
        const Answer a = it == m_answers.constEnd() ? Answer{404, "<html>not found</html>", false} : *it;
        if (a.silent)
            return;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(a.status) + (a.status == 200 ? " OK" : " Error")
            + "\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " + QByteArray::number(a.body.size())
            + "\r\n\r\n" + a.body;
        if (a.delayMs > 0) {
            QPointer<QTcpSocket> later(s);
            QTimer::singleShot(a.delayMs, s, [later, reply] {
                if (later) {
                    later->write(reply);
                    later->disconnectFromHost();
                }
            });
            return;
        }
        s->write(reply);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
};

// pricing.ini pointing every source at the local server.
inline void pointSourcesAt(const QString &folder, const QString &base, double timeoutSeconds = 5)
{
    writeFile(folder + QStringLiteral("/pricing.ini"),
              (QStringLiteral("pricelist=%1\nexchangerates=%1\nmetals=%1\ntimeout=%2\n").arg(base).arg(timeoutSeconds))
                  .toUtf8());
}

} // namespace velmor::test
