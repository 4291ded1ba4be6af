#pragma once
// Users, login and rights: the login query, the first user of a new
// database, the user set-up's rows and the refusal message.
#include "core/UserState.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <map>

namespace velmor {

class AppContext;
class Prompt;

// Every right column of the user table: the stone screen's six, then the
// front screen's in their order.
QStringList allRightColumns();

// The rights the writes check (README, "Users and rights", says what each allows).
namespace rights {
inline const QString Edit = QStringLiteral("AllowEdit");                  // stones: edit, status changes, the grid
inline const QString Delete = QStringLiteral("AllowDelete");              // stones: delete
inline const QString StoneCreate = QStringLiteral("AllowDiamond2Create"); // stones: add
inline const QString Memo = QStringLiteral("AllowMemoAssigning");         // memo sheets and every memo movement
inline const QString ParcelCreate = QStringLiteral("AllowDiamond1Create"); // parcels: add
inline const QString ParcelChange = QStringLiteral("AllowRestockParcel"); // parcels: change, receive stock, split
inline const QString Invoices = QStringLiteral("AllowInvoiceView");       // invoices: look up, add and edit lines, print
} // namespace rights

// Login (frmLogin's cmdOK).  Removes single quotes from both texts (the
// caller's strings receive the cleaned texts), looks the user up with both
// bound as parameters (compared as the database compares text, without
// regard to case), turns every right off and, when a row is found, takes
// the user's ID and rights.  On no row shows "Invalid Password, try again!"
// and returns false.
bool login(AppContext &ctx, QString &userName, QString &password);

// Every right off and nobody logged in (user ID 0).  Every open screen hears
// of it (ContextEvents::rightsChanged) and sets its controls from the rights.
void ResetUserRightsModule(AppContext &ctx);

// "No Permission, please login or contact the System Administrator!"
void MsgPermissionModule(Prompt &prompt);

// True when the logged-in user holds the right; otherwise shows the refusal.
bool checkRight(AppContext &ctx, const QString &right);

// "Please log on first." (title "Log on").
void MsgLogOnFirstModule(Prompt &prompt);
// The check every write makes at the write: somebody is logged in and holds
// `right`.  Otherwise says why ("Please log on first." with nobody logged in,
// on the command line that the user is named with --user; the no-permission
// message without the right) and returns false.
bool mayWrite(AppContext &ctx, const QString &right);
// Why `user` may not write what `right` allows, in mayWrite's words; empty
// when the user may.
QString writeRefusal(const UserState &user, const QString &right);

// True while the database has no user at all (a new installation): the log-on
// screen then makes the first administrator.
bool noUserYet(const QSqlDatabase &db);

enum class FirstAdministrator { Made, Refused, UsersExist, Failed };
// Makes the first administrator while the database has no user: the name
// (single quotes removed, as the log-on removes them; blanks around it
// dropped) must not be empty, the password must not be empty and both
// passwords must be the same, else the refusal is shown and nothing is
// written.  The user gets every right and is logged on.  UsersExist (with
// its message) when another workstation made a user meanwhile.
FirstAdministrator addFirstAdministrator(AppContext &ctx, QString name, QString password,
                                         const QString &passwordConfirm);

// Gives the oldest user (lowest ID) the four administrator rights again, as
// every start does, so that somebody may always manage the users.  Adds no
// user.
void keepOldestUserAdministrator(AppContext &ctx);

// A row of the user table as the user set-up edits it.
struct UserRecord {
    int ID = 0;
    QString UserName, Password, FirstName, LastName;
    std::map<QString, bool> rights; // by column name as allRightColumns() spells it

    bool right(const QString &column) const;
};

QList<UserRecord> listUsers(const QSqlDatabase &db);
UserRecord loadUser(const QSqlDatabase &db, int id); // ID 0 when not found

enum class SaveUserResult { Saved, PasswordMismatch, NotFound };
// The user set-up's cmdUpdate: refuses different passwords ("The two
// Passwords do not match!") and saves nothing then; adds a row when
// adding, else rewrites the row of user.ID.  The record's ID is set on add.
// Single quotes are removed from the user name and password, as the login
// removes them from what is typed.
SaveUserResult saveUser(AppContext &ctx, UserRecord &user, const QString &passwordConfirm, bool adding);

} // namespace velmor
