#pragma once
// A second workstation for races: an operation on a connection and context
// of its own, run in a thread of its own while the test works on its own
// connection.  The connection is made and used in that thread only.
#include "ScriptedPrompt.h"
#include "core/AppContext.h"
#include "db/Connection.h"

#include <QAtomicInt>
#include <QTemporaryDir>
#include <functional>
#include <thread>

namespace velmor::test {

class WorkstationThread {
public:
    using Work = std::function<void(AppContext &, ScriptedPrompt &)>;
    WorkstationThread(const db::ConnectionSettings &settings, Work work)
    {
        static QAtomicInt counter;
        const QString name = QStringLiteral("workstation-thread-%1").arg(counter.fetchAndAddRelaxed(1));
        m_thread = std::thread([this, settings, work, name] {
            try {
                QTemporaryDir dir;
                ScriptedPrompt prompt;
                QSqlDatabase conn = db::openConnection(settings, name, false);
                {
                    AppContext ctx(Workstation(dir.path(), dir.path()), settings, &prompt);
                    ctx.adopt(conn);
                    ctx.user.ID = 8;
                    ctx.user.AllowEdit = true;
                    ctx.user.AllowDelete = true;
                    for (const char *r : {"AllowDiamond2Create", "AllowDiamond1Create", "AllowRestockParcel",
                                          "AllowInvoiceView"})
                        ctx.user.set(QString::fromLatin1(r), true);
                    work(ctx, prompt);
                }
                conn.close();
            } catch (const std::exception &e) {
                // An error the operation let escape is the test's failure to
                // report, not a reason to end the whole test program.
                m_error = QString::fromUtf8(e.what());
                qWarning("%s: %s", qPrintable(name), e.what());
            }
            QSqlDatabase::removeDatabase(name);
        });
    }
    ~WorkstationThread() { join(); }
    // What escaped the operation (empty when nothing did); read after join().
    QString error() const { return m_error; }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    QString m_error;
    std::thread m_thread;
};

} // namespace velmor::test
