#pragma once
// The scans this workstation was told, kept in its folder until they are
// written (stockcount-scans.txt): a scan is noted before it goes to the
// server and marked done once it is in the count, so a workstation that was
// killed or lost its server sends again, with the same tokens, what it was
// told and had not written.  Each note is one line,
//   T <tab> token <tab> count <tab> source <tab> time <tab> code
//   D <tab> token
// and the file is emptied once nothing waits.  A lock file keeps two
// programs of one workstation from cutting each other's lines.  A link from
// the file to a place outside the folder, or a FIFO or device in its place,
// is neither read nor written (the scans then go to the server unnoted).
#include "core/Workstation.h"
#include "stones/StockCount.h"

#include <QList>
#include <QString>

namespace velmor::stones {

class ScanJournal {
public:
    explicit ScanJournal(const Workstation &ws);

    // Notes a scan as told and returns it with its new token.  False in
    // `kept` when the note could not be written (the scan then goes to the
    // server all the same).
    ScanInput tell(qint64 countId, const QString &code, const QString &source, bool *kept = nullptr);
    // The scan is in the count (or was refused for good): no longer waiting.
    void done(const QString &token);
    // The scans told for a count and not yet written, in the order told.
    QList<ScanInput> waiting(qint64 countId) const;
    // Every count with scans waiting.
    QList<qint64> countsWaiting() const;

    QString path() const { return m_path; }

private:
    struct Entry {
        qint64 countId = 0;
        ScanInput scan;
    };
    QList<Entry> readWaiting() const;
    bool append(const QString &line) const;
    bool usable() const;

    Workstation m_ws;
    QString m_path;
};

} // namespace velmor::stones
