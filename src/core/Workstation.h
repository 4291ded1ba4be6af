#pragma once
// The workstation folder: $VELMOR_HOME when set,
// else C:\velmor\ on Windows and ~/.velmor/ elsewhere.  It owns the small
// per-workstation files; a file that does not exist means its default.
#include "db/Connection.h"

#include <QString>
#include <QStringList>

namespace velmor {

class Workstation {
public:
    static QString defaultFolder();
    // The program-wide folder (C:\Program Files\Velmor\ on Windows), holding
    // printers.ini: $VELMOR_PROGRAM_DIR when set, else ~/.config/velmor/.
    static QString defaultProgramFolder();

    explicit Workstation(const QString &folder = defaultFolder(),
                         const QString &programFolder = defaultProgramFolder());

    QString folder() const { return m_folder; }
    QString programFolder() const { return m_programFolder; }
    QString path(const QString &fileName) const;
    QString programPath(const QString &fileName) const;
    bool exists(const QString &fileName) const;

    // How a file could be read: missing (its default holds), read, or
    // refused (a link to a place outside the folder, a FIFO or a device
    // where a file belongs, unreadable); `why` names the file and the reason.
    enum class FileState { Missing, Read, Refused };
    FileState readFile(const QString &fileName, QStringList *lines, QString *why) const;
    // Why a file of the folder may not be used: it leads (through a
    // symbolic link) to a place outside the folder.  Empty when it may.
    QString outsideRefusal(const QString &fileName) const;

    // Lines of a file under the folder (CR/LF stripped); empty when missing.
    // A refused file counts as missing, with a warning that names it.
    QStringList readLines(const QString &fileName) const;
    QString readFirstLine(const QString &fileName, const QString &fallback = {}) const;
    // Overwrites the file with these lines; false when it cannot be written
    // (or leads outside the folder).
    bool writeLines(const QString &fileName, const QStringList &lines) const;
    bool writeText(const QString &fileName, const QString &text) const;

    // The checkpoint file errrotrap.txt: truncated and rewritten with one tag.
    void checkpoint(const QString &tag) const;

    bool ensureFolder() const;

    // How the database is reached: database.ini of the folder (private mode
    // when the file is missing).
    db::ConnectionSettings connectionSettings() const;

private:
    QString m_folder;
    QString m_programFolder;
};

} // namespace velmor
