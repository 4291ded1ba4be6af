#include "core/Users.h"

#include "core/AppContext.h"
#include "db/Guard.h"
#include "db/Retry.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"

#include <QSqlRecord>

namespace velmor {

namespace {

// The right columns this database's user table really has.
QStringList presentRightColumns(const QSqlDatabase &db)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM `user` LIMIT 0"));
    const QSqlRecord rec = q.record();
    QStringList out;
    for (const QString &c : allRightColumns())
        if (rec.indexOf(c) >= 0)
            out << c;
    return out;
}

UserRecord fromRow(const db::Row &r)
{
    UserRecord u;
    u.ID = int(r.integer(QStringLiteral("ID")));
    u.UserName = r.text(QStringLiteral("UserName"));
    u.Password = r.text(QStringLiteral("Password"));
    u.FirstName = r.text(QStringLiteral("FirstName"));
    u.LastName = r.text(QStringLiteral("LastName"));
    for (const QString &c : allRightColumns())
        u.rights[c] = r.flag(c);
    return u;
}

} // namespace

QStringList allRightColumns()
{
    return UserState::diamondRightColumns() + UserState::frontRightColumns();
}

bool UserRecord::right(const QString &column) const
{
    const auto it = rights.find(column);
    return it != rights.end() && it->second;
}

namespace {

bool sameExceptCase(const QString &stored, const QString &typed)
{
    return stored.size() == typed.size() && stored.compare(typed, Qt::CaseInsensitive) == 0;
}

} // namespace

bool login(AppContext &ctx, QString &userName, QString &password)
{
    userName.remove(QLatin1Char('\''));
    password.remove(QLatin1Char('\''));
    QSqlQuery q = db::exec(ctx.db(), QStringLiteral("SELECT * FROM `user` WHERE UserName = ? AND Password = ? ORDER BY ID"),
                           {userName, password});
    // The server's collation also ignores trailing blanks, accents, widths
    // and control characters, and ranks 4-byte characters alike: it only
    // narrows the candidates.  Name and password must match exactly, but for
    // letter case.
    bool found = false;
    while (!found && q.next())
        found = sameExceptCase(q.value(QStringLiteral("UserName")).toString(), userName)
            && sameExceptCase(q.value(QStringLiteral("Password")).toString(), password);
    ResetUserRightsModule(ctx);
    if (!found) {
        ctx.prompt().inform(QStringLiteral("Invalid Password, try again!"), QStringLiteral("Login"), Icon::None);
        return false;
    }
    const db::Row row(q);
    ctx.user.ID = int(row.integer(QStringLiteral("ID")));
    for (const QString &c : allRightColumns())
        ctx.user.set(c, row.flag(c));
    emit ctx.events().rightsChanged();
    return true;
}

void ResetUserRightsModule(AppContext &ctx)
{
    ctx.user.reset();
    ctx.user.ID = 0; // nobody is logged in until the next login
    emit ctx.events().rightsChanged();
}

void MsgPermissionModule(Prompt &prompt)
{
    prompt.inform(QStringLiteral("No Permission, please login or contact the System Administrator!"),
                  QStringLiteral("Authorization Failure"), Icon::Information);
}

bool checkRight(AppContext &ctx, const QString &right)
{
    if (ctx.user.has(right))
        return true;
    MsgPermissionModule(ctx.prompt());
    return false;
}

void MsgLogOnFirstModule(Prompt &prompt)
{
    prompt.inform(QStringLiteral("Please log on first."), QStringLiteral("Log on"), Icon::Information);
}

QString writeRefusal(const UserState &user, const QString &right)
{
    if (user.ID == 0)
        return user.commandLine
            ? QStringLiteral("Nobody is logged on: a command that changes the books names its user with --user NAME "
                             "(or VELMOR_USER), who must hold the right for it; the password is read from "
                             "VELMOR_PASSWORD or typed at the terminal.")
            : QStringLiteral("Please log on first.");
    if (!user.has(right)) {
        const QString refusal = QStringLiteral("No Permission, please login or contact the System Administrator!");
        return user.commandLine ? refusal + QStringLiteral(" (the right %1 is needed)").arg(right) : refusal;
    }
    return {};
}

bool mayWrite(AppContext &ctx, const QString &right)
{
    // A command-line context is no exception: a command that writes logs its
    // user on (--user), and with nobody logged on it is refused here.
    const QString why = writeRefusal(ctx.user, right);
    if (why.isEmpty())
        return true;
    ctx.prompt().inform(why, ctx.user.ID == 0 ? QStringLiteral("Log on") : QStringLiteral("Authorization Failure"),
                        Icon::Information);
    return false;
}

bool noUserYet(const QSqlDatabase &db)
{
    return !db::scalar(db, QStringLiteral("SELECT ID FROM `user` LIMIT 1")).isValid();
}

FirstAdministrator addFirstAdministrator(AppContext &ctx, QString name, QString password,
                                         const QString &passwordConfirm)
{
    Prompt &p = ctx.prompt();
    const QString title = QStringLiteral("First administrator");
    name.remove(QLatin1Char('\''));
    name = name.trimmed();
    if (name.isEmpty()) {
        p.inform(QStringLiteral("Please type the administrator's user name."), title, Icon::Information);
        return FirstAdministrator::Refused;
    }
    if (password.isEmpty()) {
        p.inform(QStringLiteral("Please type a password for %1 (an empty password is not allowed).").arg(name), title,
                 Icon::Information);
        return FirstAdministrator::Refused;
    }
    if (password != passwordConfirm) {
        p.inform(QStringLiteral("The two Passwords do not match!"), QStringLiteral("Password mismatch"),
                 Icon::Information);
        return FirstAdministrator::Refused;
    }
    // The login removes single quotes from what is typed: so does the store.
    password.remove(QLatin1Char('\''));
    if (password.isEmpty()) {
        p.inform(QStringLiteral("Please type a password for %1 (an empty password is not allowed).").arg(name), title,
                 Icon::Information);
        return FirstAdministrator::Refused;
    }
    const QSqlDatabase db = ctx.db();
    bool made = false;
    try {
        made = db::retryOnLockConflict([&] {
            db::Transaction tx(db);
            // Two workstations answering the question at once: the guard row
            // makes the second wait (or, on a cluster, run again) and see the first.
            db::claimGuard(db, db::GuardKind::FirstUser, 0);
            if (!noUserYet(db))
                return false;
            QStringList columns = {QStringLiteral("UserName"), QStringLiteral("Password")};
            QVariantList values = {name, password};
            for (const QString &right : presentRightColumns(db)) {
                columns << right;
                values << db::flagValue(true);
            }
            QStringList marks;
            for (int i = 0; i < columns.size(); ++i)
                marks << QStringLiteral("?");
            db::insert(db,
                       QStringLiteral("INSERT INTO `user` (%1) VALUES (%2)")
                           .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                       values);
            tx.commit();
            return true;
        });
    } catch (const db::DbError &e) {
        p.inform(QStringLiteral("The administrator could not be saved:\n\n") + e.message(), title, Icon::Critical);
        return FirstAdministrator::Failed;
    }
    if (!made) {
        p.inform(QStringLiteral("A user has been made on another workstation meanwhile. Please log on with that "
                                "user's name and password."),
                 title, Icon::Information);
        return FirstAdministrator::UsersExist;
    }
    QString n = name, pw = password;
    login(ctx, n, pw);
    return FirstAdministrator::Made;
}

void keepOldestUserAdministrator(AppContext &ctx)
{
    const QSqlDatabase db = ctx.db();
    const QVariant first = db::scalar(db, QStringLiteral("SELECT ID FROM `user` ORDER BY ID LIMIT 1"));
    if (first.isValid())
        db::exec(db,
                 QStringLiteral("UPDATE `user` SET Administrator = ?, ViewCost = ?, AllowExchangeRateChanging = ?, "
                                "AllowMemoAssigning = ? WHERE ID = ?"),
                 {db::flagValue(true), db::flagValue(true), db::flagValue(true), db::flagValue(true), first});
}

QList<UserRecord> listUsers(const QSqlDatabase &db)
{
    QList<UserRecord> out;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM `user` ORDER BY ID"));
    while (q.next())
        out << fromRow(db::Row(q));
    return out;
}

UserRecord loadUser(const QSqlDatabase &db, int id)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM `user` WHERE ID = ?"), {id});
    if (!q.next())
        return {};
    return fromRow(db::Row(q));
}

SaveUserResult saveUser(AppContext &ctx, UserRecord &user, const QString &passwordConfirm, bool adding)
{
    if (user.Password != passwordConfirm) {
        ctx.prompt().inform(QStringLiteral("The two Passwords do not match!"), QStringLiteral("Password mismatch"),
                            Icon::Information);
        return SaveUserResult::PasswordMismatch;
    }
    // The login removes single quotes from what is typed; a name or password
    // stored with one could never log in.
    user.UserName.remove(QLatin1Char('\''));
    user.Password.remove(QLatin1Char('\''));
    const QSqlDatabase db = ctx.db();
    const QStringList rights = presentRightColumns(db);
    QStringList cols = {QStringLiteral("FirstName"), QStringLiteral("LastName"), QStringLiteral("UserName"),
                        QStringLiteral("Password")};
    QVariantList binds = {user.FirstName, user.LastName, user.UserName, user.Password};
    for (const QString &c : rights) {
        cols << c;
        binds << db::flagValue(user.right(c));
    }
    db::Transaction tx(db);
    if (adding) {
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i)
            marks << QStringLiteral("?");
        user.ID = int(db::insert(db,
                                 QStringLiteral("INSERT INTO `user` (%1) VALUES (%2)")
                                     .arg(cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                                 binds));
    } else {
        if (!db::scalar(db, QStringLiteral("SELECT ID FROM `user` WHERE ID = ?"), {user.ID}).isValid())
            return SaveUserResult::NotFound;
        QStringList sets;
        for (const QString &c : cols)
            sets << c + QStringLiteral(" = ?");
        binds << user.ID;
        db::exec(db, QStringLiteral("UPDATE `user` SET %1 WHERE ID = ?").arg(sets.join(QStringLiteral(", "))), binds);
    }
    tx.commit();
    return SaveUserResult::Saved;
}

} // namespace velmor
