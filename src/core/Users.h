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

// The default password of the first user ("user").  Change it after the
// first login.
inline constexpr const char *kFirstUserPassword = "changeme";

// Every right column of the user table: the stone screen's six, then the
// front screen's in their order.
QStringList allRightColumns();

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

// Makes the first user when the user table is empty and gives the oldest
// user the four administrator rights.  Returns true when a user was added.
bool ensureFirstUser(AppContext &ctx);

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
