#include "stones/ScanJournal.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSet>

namespace velmor::stones {

namespace {

const QString kFile = QStringLiteral("stockcount-scans.txt");

class Locked {
public:
    explicit Locked(const QString &path) : m_lock(path + QStringLiteral(".lock"))
    {
        m_lock.setStaleLockTime(30000);
        m_held = m_lock.tryLock(5000);
    }
    bool held() const { return m_held; }

private:
    QLockFile m_lock;
    bool m_held = false;
};

} // namespace

ScanJournal::ScanJournal(const Workstation &ws) : m_ws(ws), m_path(ws.path(kFile)) {}

bool ScanJournal::usable() const
{
    QString why = m_ws.outsideRefusal(kFile);
    if (why.isEmpty()) {
        const QFileInfo fi(m_path);
        if (fi.exists() && !fi.isFile())
            why = QStringLiteral("%1 is not a plain file; Velmor does not use it.").arg(m_path);
    }
    if (why.isEmpty())
        return true;
    qWarning("velmor: %s", qPrintable(why));
    return false;
}

bool ScanJournal::append(const QString &line) const
{
    if (!usable())
        return false;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    // A line a kill cut short keeps the next one off it.
    if (f.size() > 0 && f.seek(f.size() - 1) && f.read(1) != "\n")
        bytes.prepend('\n');
    const bool ok = f.write(bytes) == bytes.size();
    return f.flush() && ok;
}

ScanInput ScanJournal::tell(qint64 countId, const QString &code, const QString &source, bool *kept)
{
    ScanInput s;
    s.token = newScanToken();
    s.code = cleanCode(code);
    s.source = source;
    s.toldAt = QDateTime::currentDateTime();
    Locked lock(m_path);
    const bool ok = lock.held()
        && append(QStringList{QStringLiteral("T"), s.token, QString::number(countId), source,
                              s.toldAt.toString(Qt::ISODateWithMs), s.code}
                      .join(QLatin1Char('\t')));
    if (kept)
        *kept = ok;
    return s;
}

void ScanJournal::done(const QString &token)
{
    Locked lock(m_path);
    if (!lock.held() || !append(QStringLiteral("D\t") + token))
        return;
    // Nothing waits any more: the file starts afresh.
    if (readWaiting().isEmpty()) {
        QFile f(m_path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.close();
    }
}

QList<ScanJournal::Entry> ScanJournal::readWaiting() const
{
    QList<Entry> told;
    QSet<QString> done;
    QFile f(m_path);
    if (!usable() || !f.open(QIODevice::ReadOnly))
        return told;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        const QStringList p = line.split(QLatin1Char('\t'));
        if (p.value(0) == QLatin1String("D") && p.size() >= 2) {
            done.insert(p.at(1));
        } else if (p.value(0) == QLatin1String("T") && p.size() >= 6) {
            // A line cut short by a kill has fewer fields: it was never sent.
            Entry e;
            e.scan.token = p.at(1);
            e.countId = p.at(2).toLongLong();
            e.scan.source = p.at(3);
            e.scan.toldAt = QDateTime::fromString(p.at(4), Qt::ISODateWithMs);
            e.scan.code = p.at(5);
            if (e.countId > 0 && !e.scan.token.isEmpty() && !e.scan.code.isEmpty())
                told << e;
        }
    }
    QList<Entry> out;
    for (const Entry &e : told)
        if (!done.contains(e.scan.token))
            out << e;
    return out;
}

QList<ScanInput> ScanJournal::waiting(qint64 countId) const
{
    QList<ScanInput> out;
    for (const Entry &e : readWaiting())
        if (e.countId == countId)
            out << e.scan;
    return out;
}

QList<qint64> ScanJournal::countsWaiting() const
{
    QList<qint64> out;
    for (const Entry &e : readWaiting())
        if (!out.contains(e.countId))
            out << e.countId;
    return out;
}

} // namespace velmor::stones
