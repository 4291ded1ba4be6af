#pragma once
// Velmor's own MariaDB server for one workstation: data and socket under a
// folder of its own, networking off.  Every Velmor process of the workstation
// that uses it holds a lease; the first one starts the server, the last one
// to let go stops it.
#include <QString>
#include <QStringList>

namespace velmor::db {

// Keeps a folder (0700) or file (0600) of this account to this account: one
// found wider is narrowed with a line in the log.  Leaves alone what another
// account owns and shared sticky folders such as /tmp.  False when it stays
// wider.
bool keepToOwner(const QString &path, bool folder);
// Makes a folder 0700 (its parents as usual), or narrows one that exists.
bool makeOwnFolder(const QString &path);

class PrivateServer {
public:
    explicit PrivateServer(const QString &dir, bool forTests = false);
    ~PrivateServer();

    QString dir() const { return m_dir; }
    // In the folder when its path is short enough, else in a folder of this
    // account's own under the runtime folder (see checkSocket).
    QString socketPath() const;
    // Makes sure the socket's place is this account's alone: its folder
    // (when not the server's) made 0700 and owned by this account, and a
    // socket found there this account's.  Throws ConnectError naming it.
    void checkSocket() const;
    QString errorLog() const;
    // The generated password of the server's root account, kept 0600 in
    // the server's folder (empty before the first start).
    QString passwordFile() const;
    QString rootPassword() const;
    static QString readPasswordFile(const QString &file);

    // Starts the server unless it already answers, and registers this
    // process as a user of it.  Throws ConnectError with a clear message.
    void acquire();
    // Unregisters this process; stops the server when no live process uses it.
    void release();
    bool held() const { return m_held; }

    // Bare start/stop, used by the test fixture.
    void start();
    void startWatchdog() const;
    void stop();
    bool answers() const;
    int clientCount() const;

    static QString findProgram(const QString &name);

    // Options added after the program's own at the making of the data folder
    // and at every start (tests: a server configured differently).
    void setExtraOptions(const QStringList &options) { m_extraOptions = options; }

private:
    void initialise();
    void secureAccounts() const;
    void cleanDeadClients() const;

    QString m_dir;
    bool m_forTests = false;
    bool m_held = false;
    QString m_leaseName; // "<pid>-<n>": one file per lease under clients/
    qint64 m_launchedPid = 0; // the server this object launched, 0 when it found one running
    bool m_watchLaunch = false; // acquire(): the watcher starts before the server
    QStringList m_extraOptions;
};

} // namespace velmor::db
