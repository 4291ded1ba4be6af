#pragma once
// The stone screen's word lists (laboratories, cut, fluorescence, ... lots):
// each column's distinct values over the whole stone table.  On a large
// stock that is a full pass over the stones, so the screen has them read on
// a connection of its own in the background and fills its boxes when they
// arrive; the screen stays usable meanwhile.
#include "db/BackgroundRead.h"
#include "db/Connection.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSqlDatabase>
#include <QStringList>

#include <atomic>

class QThread;

namespace velmor::stones {

// Each column's distinct non-Null values in their order, in one pass over
// the stones (one list per column, empty when the table has none).
QList<QStringList> readWordLists(const QSqlDatabase &db, const QStringList &columns);

// Reads the word lists in a thread of its own.  loaded() comes in the
// owner's thread; noConnection() when no second connection could be made
// (the owner may then read on its own); a read that fails otherwise says
// nothing (the boxes keep what they had).  A loader destroyed or cancelled while reading stops the query on
// the server and waits for the thread.
class WordListLoader : public QObject
{
    Q_OBJECT
public:
    explicit WordListLoader(QObject *parent = nullptr);
    ~WordListLoader() override;

    // Starts a read unless one is under way (then that one's result serves).
    // `killer` is a connection of the owner's, used to stop the query.
    void start(const db::ConnectionSettings &settings, const QStringList &columns, const QSqlDatabase &killer);
    bool busy() const;
    void cancel();

signals:
    void loaded(const QList<QStringList> &lists);
    void noConnection();

private:
    QThread *m_thread = nullptr;
    QSqlDatabase m_killer;
    QMutex m_readerMutex;
    db::ServerThread m_reader; // the reading connection, while it reads
    std::atomic<bool> m_cancelled{false};
};

} // namespace velmor::stones
