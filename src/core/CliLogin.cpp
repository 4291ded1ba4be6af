#include "core/CliLogin.h"

#include "core/AppContext.h"
#include "core/Users.h"


#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace velmor {

namespace {

// Keeps the login's refusal for the error stream.
class KeepingPrompt : public SilentPrompt {
public:
    void inform(const QString &text, const QString &, Icon) override { m_said = text; }
    QString said() const { return m_said; }

private:
    QString m_said;
};

} // namespace

bool takeUserOption(QStringList &args, QString *userName, CliIo &io)
{
    QString name = qEnvironmentVariable("VELMOR_USER");
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--user")) {
            if (i + 1 >= args.size() || args.at(i + 1).trimmed().isEmpty()) {
                io.err << "velmor: --user needs the user's name" << Qt::endl;
                return false;
            }
            name = args.at(i + 1);
            args.remove(i, 2);
            --i;
        } else if (a.startsWith(QLatin1String("--user="))) {
            name = a.mid(7);
            args.removeAt(i);
            --i;
        }
    }
    *userName = name.trimmed();
    return true;
}

QString readPasswordFromTerminal(const QString &promptText, bool *haveTerminal)
{
    *haveTerminal = false;
#ifdef Q_OS_UNIX
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY);
    if (fd < 0)
        return {};
    *haveTerminal = true;
    const QByteArray p = promptText.toLocal8Bit();
    if (::write(fd, p.constData(), size_t(p.size())) < 0) {
        ::close(fd);
        return {};
    }
    termios old{};
    const bool tty = ::tcgetattr(fd, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n' && c != '\r')
        line += c;
    if (tty)
        ::tcsetattr(fd, TCSAFLUSH, &old);
    if (::write(fd, "\n", 1) < 0) {
    }
    ::close(fd);
    return QString::fromLocal8Bit(line);
#else
    Q_UNUSED(promptText);
    return {};
#endif
}

bool loginForCommand(AppContext &ctx, const QString &userName, CliIo &io)
{
    if (userName.isEmpty()) {
        io.err << "velmor: this command changes the books: name the user with --user NAME (or VELMOR_USER); "
                  "the password is read from VELMOR_PASSWORD or typed at the terminal"
               << Qt::endl;
        return false;
    }
    QString password;
    if (qEnvironmentVariableIsSet("VELMOR_PASSWORD")) {
        password = qEnvironmentVariable("VELMOR_PASSWORD");
    } else {
        bool terminal = false;
        password = readPasswordFromTerminal(QStringLiteral("Password for %1: ").arg(userName), &terminal);
        if (!terminal) {
            io.err << "velmor: no password for " << userName
                   << ": set VELMOR_PASSWORD or run the command at a terminal" << Qt::endl;
            return false;
        }
    }
    KeepingPrompt prompt;
    Prompt &before = ctx.prompt();
    ctx.setPrompt(&prompt);
    QString name = userName;
    bool ok = false;
    try {
        ok = login(ctx, name, password);
    } catch (const db::DbError &e) {
        ctx.setPrompt(&before);
        io.err << "velmor: the user could not be looked up: " << e.message() << Qt::endl;
        return false;
    }
    ctx.setPrompt(&before);
    if (!ok) {
        io.err << "velmor: " << userName << " could not log on: "
               << (prompt.said().isEmpty() ? QStringLiteral("refused") : prompt.said()) << Qt::endl;
        return false;
    }
    return true;
}

int loginWithRight(AppContext &ctx, const QString &userName, const QString &right, CliIo &io)
{
    if (!loginForCommand(ctx, userName, io))
        return 2;
    if (const QString why = writeRefusal(ctx.user, right); !why.isEmpty()) {
        io.err << "velmor: " << userName << " may not run this command: " << why << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace velmor
