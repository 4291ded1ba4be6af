#pragma once
// The logged-in state: the user's ID and one flag per right, all off until
// somebody logs in.
#include <QString>
#include <QStringList>
#include <map>

namespace velmor {

struct UserState {
    int ID = 0;
    // Batch work of the command line: a command that writes logs its user on
    // (--user NAME); with nobody logged on, a write is refused naming --user.
    bool commandLine = false;

    // Rights of the stone screen.
    bool Administrator = false;
    bool ViewCost = false;
    bool AllowExchangeRateChanging = false;
    bool AllowMemoAssigning = false;
    bool AllowEdit = false;
    bool AllowDelete = false;

    // Rights of the front screen, by column name (ViewParcelMarkup and the
    // Allow... columns); a name that is not held reads as off.
    std::map<QString, bool> rights;

    bool has(const QString &right) const;
    void set(const QString &right, bool on);
    void reset(); // every right off (the user ID stays)

    // The front screen's right columns of the user table, in their order.
    static const QStringList &frontRightColumns();
    // The rights of the stone screen, in their order.
    static const QStringList &diamondRightColumns();
};

} // namespace velmor
