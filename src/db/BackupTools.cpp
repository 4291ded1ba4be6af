#include "db/BackupTools.h"

#include "db/Cluster.h"
#include "db/PrivateServer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace velmor::db::backup {

namespace {

class ProcessRun : public ToolRun {
public:
    // `readOutput`: the program's output is what is wanted (the dump tool):
    // it comes through a pipe of a megabyte read here in large pieces.
    // Otherwise Qt's own pipe takes it and it is let go.
    bool start(const QString &program, const QStringList &args, bool readOutput, QString *why)
    {
        int writeEnd = -1;
        if (readOutput)
            writeEnd = outputPipe();
        m_p.setProgram(program);
        m_p.setArguments(args);
        if (writeEnd >= 0) {
            m_p.setStandardOutputFile(QProcess::nullDevice());
            m_p.setChildProcessModifier([writeEnd] {
                if (::dup2(writeEnd, STDOUT_FILENO) < 0)
                    ::_exit(127);
            });
        }
        m_p.start();
        if (writeEnd >= 0)
            ::close(writeEnd); // the program holds it now: its end is the pipe's end
        if (!m_p.waitForStarted(30000)) {
            *why = QStringLiteral("%1 could not be started: %2").arg(program, m_p.errorString());
            return false;
        }
        return true;
    }

    qsizetype read(char *out, qsizetype max) override
    {
        if (m_out >= 0)
            return readPipe(out, max);
        for (;;) {
            if (m_p.bytesAvailable() > 0) {
                const qint64 n = m_p.read(out, max);
                return n < 0 ? -1 : qsizetype(n);
            }
            if (m_p.state() == QProcess::NotRunning)
                return 0;
            m_p.waitForReadyRead(1000);
            collectErrors();
        }
    }

    bool write(const char *data, qsizetype size) override
    {
        if (m_p.state() != QProcess::Running)
            return false;
        if (m_p.write(data, size) != size)
            return false;
        // Keep what waits in the pipe small: the program takes its input at
        // the speed of the server.
        while (m_p.bytesToWrite() > 4 * 1024 * 1024) {
            if (m_p.state() != QProcess::Running)
                return false;
            m_p.waitForBytesWritten(1000);
            collectErrors();
            m_p.readAllStandardOutput();
        }
        collectErrors();
        m_p.readAllStandardOutput();
        return m_p.state() == QProcess::Running;
    }

    void closeInput() override
    {
        while (m_p.bytesToWrite() > 0 && m_p.state() == QProcess::Running)
            m_p.waitForBytesWritten(1000);
        m_p.closeWriteChannel();
    }

    bool finish() override
    {
        while (m_p.state() != QProcess::NotRunning) {
            m_p.waitForFinished(1000);
            collectErrors();
            m_p.readAllStandardOutput();
        }
        collectErrors();
        return m_p.exitStatus() == QProcess::NormalExit && m_p.exitCode() == 0;
    }

    int exitCode() const override
    {
        return m_p.exitStatus() == QProcess::NormalExit ? m_p.exitCode() : -1;
    }

    QString errors() const override
    {
        const_cast<ProcessRun *>(this)->collectErrors();
        return QString::fromLocal8Bit(m_errors);
    }

    void stop() override
    {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.kill();
            m_p.waitForFinished(10000);
        }
    }

    ~ProcessRun() override
    {
        stop();
        if (m_out >= 0)
            ::close(m_out);
    }

private:
    // The pipe the program writes its output into, its size raised to a
    // megabyte; returns the end the program gets (-1: Qt's pipe is used).
    int outputPipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return -1;
        // Never one of the standard descriptors, which the child's set-up
        // overwrites before it hands ours on.
        for (int &fd : fds) {
            if (fd <= STDERR_FILENO) {
                const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
                ::close(fd);
                fd = moved;
            }
        }
        if (fds[0] < 0 || fds[1] < 0) {
            for (const int fd : fds)
                if (fd >= 0)
                    ::close(fd);
            return -1;
        }
        ::fcntl(fds[1], F_SETPIPE_SZ, 1024 * 1024); // may be refused: the pipe keeps its size
        m_pipeBytes = std::max(4096, ::fcntl(fds[0], F_GETPIPE_SZ));
        m_out = fds[0];
        return fds[1];
    }

    // The dump tool writes four kilobytes at a time: rather than waking for
    // each, this lets its output gather in the pipe for a moment whenever
    // the last read found it less than half full.  The tool never waits on
    // a pipe that a moment cannot fill.
    qsizetype readPipe(char *out, qsizetype max)
    {
        for (;;) {
            if (m_gather && m_pipeBytes >= 512 * 1024)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            pollfd pfd{m_out, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, 1000);
            if (ready < 0 && errno != EINTR)
                return -1;
            if (ready > 0) {
                const ssize_t n = ::read(m_out, out, size_t(max));
                if (n > 0) {
                    m_gather = n < m_pipeBytes / 2;
                    m_p.waitForFinished(0); // its standard error read, if it wrote any
                    return qsizetype(n);
                }
                if (n == 0)
                    return 0; // the program has closed its output: it has ended
                if (errno != EINTR && errno != EAGAIN)
                    return -1;
            }
            m_p.waitForFinished(0);
            collectErrors();
        }
    }

    int m_out = -1; // the read end of the output pipe, when it is ours
    int m_pipeBytes = 0;
    bool m_gather = false;

    void collectErrors()
    {
        m_errors += m_p.readAllStandardError();
        if (m_errors.size() > 64 * 1024)
            m_errors = m_errors.right(32 * 1024);
    }

    QProcess m_p;
    QByteArray m_errors;
};

QString optionValue(const QString &v)
{
    QString s = v;
    s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    s.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    s.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

} // namespace

ToolStarter installedTools()
{
    return [](const QString &program, const QStringList &args, QString *why) -> std::unique_ptr<ToolRun> {
        const QString path = toolPath(program);
        if (path.isEmpty()) {
            *why = QStringLiteral("the MariaDB program %1 is not installed (package mariadb-client)").arg(program);
            return nullptr;
        }
        auto run = std::make_unique<ProcessRun>();
        // Only the dump tool's output is read; the client's is let go.
        if (!run->start(path, args, program == QLatin1String("mariadb-dump"), why))
            return nullptr;
        return run;
    };
}

QString toolPath(const QString &name) { return PrivateServer::findProgram(name); }

ToolConnection ToolConnection::from(const ConnectionSettings &s, QString *why, const QString &node)
{
    ToolConnection c;
    why->clear();
    if (s.mode == Mode::Odbc) {
        *why = QStringLiteral("in ODBC mode the server is known only to the data source \"%1\"; to back up or "
                              "restore, give the server in database.ini (mode=server with host=, user=, "
                              "password=, database=), or run the command on the server")
                   .arg(s.dsn);
        return c;
    }
    c.user = s.user;
    c.password = s.password;
    c.database = s.database;
    if (!s.socket.isEmpty()) {
        c.socket = s.socket;
        if (c.password.isEmpty() && c.user == QLatin1String("root"))
            c.password = PrivateServer(QFileInfo(s.socket).absolutePath()).rootPassword();
        return c;
    }
    const QStringList nodes = clusterNodes(s);
    QString chosen = node.isEmpty() ? nodes.value(0) : node;
    if (chosen.isEmpty())
        chosen = s.host + QLatin1Char(':') + QString::number(s.port);
    const int colon = chosen.lastIndexOf(QLatin1Char(':'));
    c.host = chosen.left(colon);
    c.port = chosen.mid(colon + 1).toInt();
    return c;
}

std::unique_ptr<QTemporaryFile> ToolConnection::optionFile(QString *why) const
{
    // Beside the private server's socket when there is one (a folder of
    // this account's only), else in the temporary folder; 0600 either way.
    const QString dir = socket.isEmpty() ? QDir::tempPath() : QFileInfo(socket).absolutePath();
    auto f = std::make_unique<QTemporaryFile>(dir + QStringLiteral("/velmor-tool-XXXXXX.cnf"));
    if (!f->open()) {
        *why = QStringLiteral("a temporary file for the connection cannot be made in %1: %2")
                   .arg(QDir::toNativeSeparators(dir), f->errorString());
        return nullptr;
    }
    QString text = QStringLiteral("[client]\n");
    text += QStringLiteral("user=%1\n").arg(optionValue(user));
    if (!password.isEmpty())
        text += QStringLiteral("password=%1\n").arg(optionValue(password));
    if (!socket.isEmpty()) {
        text += QStringLiteral("socket=%1\n").arg(optionValue(socket));
        text += QStringLiteral("protocol=SOCKET\n");
    } else {
        text += QStringLiteral("host=%1\n").arg(optionValue(host));
        text += QStringLiteral("port=%1\n").arg(port);
        text += QStringLiteral("protocol=TCP\n");
    }
    if (f->write(text.toUtf8()) < 0 || !f->flush()) {
        *why = QStringLiteral("the connection file %1 cannot be written: %2").arg(f->fileName(), f->errorString());
        return nullptr;
    }
    return f;
}

QStringList dumpArguments(const QString &database)
{
    // One consistent moment of every InnoDB table while the shop works on
    // (no table locks); binary columns as hex, so that every byte comes back;
    // stored procedures and triggers with the tables.
    return {QStringLiteral("--single-transaction"),
            QStringLiteral("--quick"),
            QStringLiteral("--hex-blob"),
            QStringLiteral("--routines"),
            QStringLiteral("--triggers"),
            QStringLiteral("--default-character-set=utf8mb4"),
            QStringLiteral("--max-allowed-packet=1G"),
            QStringLiteral("--net-buffer-length=1M"),
            QStringLiteral("--skip-add-locks"),
            QStringLiteral("--"),
            database};
}

QStringList clientArguments(const QString &database)
{
    return {QStringLiteral("--binary-mode"), QStringLiteral("--default-character-set=utf8mb4"),
            QStringLiteral("--max-allowed-packet=1G"), QStringLiteral("--batch"),
            QStringLiteral("--database=%1").arg(database)};
}

QString toolFailure(const QString &tool, int exitCode, const QString &errors)
{
    QStringList lines;
    for (const QString &l : errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString t = l.trimmed();
        // The tools' warning about passwords on the command line never
        // applies (an option file is used); anything else is kept.
        if (!t.isEmpty() && !t.contains(QLatin1String("Using a password on the command line")))
            lines << t;
    }
    QString why = lines.mid(std::max<qsizetype>(0, lines.size() - 4)).join(QStringLiteral(" / "));
    if (why.isEmpty())
        why = exitCode < 0 ? QStringLiteral("it was stopped") : QStringLiteral("it ended with code %1").arg(exitCode);
    while (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    QString hint;
    if (why.contains(QLatin1String("Access denied")) || why.contains(QLatin1String("command denied")))
        hint = QStringLiteral(" The account lacks a right the backup needs (the README's backup section lists them).");
    return QStringLiteral("%1 failed: %2.%3").arg(tool, why, hint);
}

} // namespace velmor::db::backup
