#pragma once
// The MariaDB tools played back from what they once printed
// (tests/data/backup): a run writes the recorded output in small pieces,
// then the recorded errors and exit code; what is fed to it is kept.
#include "db/BackupTools.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmor::test {

struct Recording {
    QByteArray output;
    QByteArray errors;
    int exitCode = 0;
    // A program that stops taking input after this many bytes (the client
    // refusing a statement), -1 never.
    qint64 stopAfterInput = -1;
};

class RecordedTools {
public:
    // What `program` plays when started.
    void set(const QString &program, const Recording &r) { m_recordings[program] = r; }
    // A program that cannot be started.
    void missing(const QString &program, const QString &why) { m_missing[program] = why; }

    db::backup::ToolStarter starter();

    // Everything given to the programs: their arguments and their input.
    QList<QStringList> calls;
    QByteArray input;

    static QByteArray dataFile(const QString &name);

private:
    QHash<QString, Recording> m_recordings;
    QHash<QString, QString> m_missing;
};

} // namespace velmor::test
