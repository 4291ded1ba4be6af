#pragma once
// Reading and writing files on this machine without surprises: a FIFO, a
// device or a folder where a file is expected is refused instead of
// blocking the program or being replaced; a file is read only up to the
// size its kind can have; a file written for the user follows the account's
// umask.
#include <QByteArray>
#include <QFile>
#include <QFileDevice>
#include <QString>

namespace velmor::files {

// Opens a regular file for reading.  A FIFO, a device, a socket or a folder
// is refused without waiting for a writer; false with the reason in `why`
// ("it is a FIFO, not a file").  A missing file gives `missing`.
bool openRegular(QFile &file, const QString &path, QString *why, bool *missing = nullptr);

// The whole of a regular file of at most `limit` bytes.  False with the
// reason when it is missing, not a regular file, unreadable or larger.
bool readRegular(const QString &path, qint64 limit, QByteArray *bytes, QString *why, bool *missing = nullptr);

// "12 MB", "900 KB", "512 bytes".
QString sizeText(qint64 bytes);

// The account's file-creation mask (022 on most systems).
unsigned currentUmask();
// The permissions a new file gets under the umask (0666 & ~umask).
QFileDevice::Permissions newFilePermissions();

// Writes a file the user named (an export): the name as given.  A folder is
// refused; a device or a FIFO (/dev/stdout, a pipe) is written straight to,
// without waiting for a reader that is not there; anything else is written
// under a temporary name and takes the name only when whole, so a failure
// leaves the old file as it was.  False with the reason.
bool writeUserFile(const QString &path, const QByteArray &bytes, QString *why);

// The text of a reason for messages: "name: reason".
QString describe(const QString &path, const QString &why);

} // namespace velmor::files
