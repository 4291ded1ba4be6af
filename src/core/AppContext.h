#pragma once
// Everything the screens and operations share: the workstation folder, the
// database connection, the settings record, the logged-in user, the home-screen
// flags and the working exchange rates.  main() makes one; tests make their own.
#include "core/ContextEvents.h"
#include "core/Prompt.h"
#include "core/Screens.h"
#include "core/Settings.h"
#include "core/UserState.h"
#include "core/Workstation.h"
#include "db/Connection.h"

#include <QSqlDatabase>
#include <functional>
#include <memory>

namespace velmor {
namespace db {
class PrivateServer;
}

class AppContext {
public:
    AppContext(Workstation ws, db::ConnectionSettings cs, Prompt *prompt = nullptr);
    ~AppContext();
    AppContext(const AppContext &) = delete;
    AppContext &operator=(const AppContext &) = delete;

    // Reaches the database: in private mode starts (or shares) the server and
    // creates the database in its final shape when it does not exist yet.
    // Throws db::ConnectError with a message that names what failed.
    void open();
    // The slow part of open(), which may run on another thread (the window
    // stays painted meanwhile): in private mode the server started (on a
    // first start, its data folder made) and a new or half-made database
    // made whole, on a connection of that thread's own.  Says nothing (the
    // caller shows openingMessage()); `progress` hears of the making's steps
    // on that thread.  open() afterwards only connects.  Throws as open().
    void prepareOpen(const std::function<void(const QString &)> &progress = {});
    // What opening says it does: "Making the database ..." when the private
    // database is made by it, else "Opening the database ...".
    QString openingMessage() const;
    // Uses an already open connection (tests).
    void adopt(const QSqlDatabase &db);
    void close();

    QSqlDatabase db() const { return m_db; }
    // A second connection with the same settings (the schema upgrade opens its own).
    QSqlDatabase newConnection(const QString &name) const;

    Prompt &prompt() const { return *m_prompt; }
    void setPrompt(Prompt *p);

    // Opens other subsystems' screens (the shell plugs its own in; without
    // one no screen is available).  Not owned.
    Screens &screens() const { return *m_screens; }
    void setScreens(Screens *s);

    // Rights and rates changes, for the open screens.
    ContextEvents &events() const { return *m_events; }

    Workstation workstation;
    db::ConnectionSettings connection;
    Settings settings;
    UserState user;

    // Home-screen flags (exactly one is true after start-up).
    bool DiamondMode = false;
    bool WholeSaleMode = false;
    // The screen that receives scanner input ("frmDiamondDetail").
    QString currentScreen;

    // The working exchange rates: US dollar to local currency and to rand.
    double exchangeRateCDN = 1.0;
    double exchangeRateZAR = 1.0;

private:
    QSqlDatabase m_db;
    QString m_connectionName;
    std::unique_ptr<db::PrivateServer> m_server;
    bool m_prepared = false; // prepareOpen() ran (open() only connects)
    Prompt *m_prompt = nullptr;
    SilentPrompt m_silent;
    Screens m_noScreens;
    Screens *m_screens = &m_noScreens;
    std::unique_ptr<ContextEvents> m_events = std::make_unique<ContextEvents>();
};

} // namespace velmor
