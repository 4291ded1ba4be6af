#include "core/LocalFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor::files {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO (named pipe)");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a plain file");
}

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

} // namespace

bool openRegular(QFile &file, const QString &path, QString *why, bool *missing)
{
    if (missing)
        *missing = false;
    const QByteArray native = QFile::encodeName(path);
    // Non-blocking, so that a FIFO without a writer does not hold the open.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (missing)
            *missing = e == ENOENT;
        if (why)
            *why = e == ENOENT ? QStringLiteral("it does not exist") : errnoText(e);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (why)
            *why = QStringLiteral("it is %1, not a file").arg(kindOf(st.st_mode));
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (why)
            *why = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

bool readRegular(const QString &path, qint64 limit, QByteArray *bytes, QString *why, bool *missing)
{
    QFile f;
    if (!openRegular(f, path, why, missing))
        return false;
    // Read up to one byte past the limit: a file that grows while it is read,
    // or one whose size the system does not know, is held to it as well.
    QByteArray data;
    const qint64 size = f.size();
    if (size > limit) {
        if (why)
            *why = QStringLiteral("it is %1, more than the %2 such a file can have")
                       .arg(sizeText(size), sizeText(limit));
        return false;
    }
    data.reserve(int(qMin<qint64>(size, limit)) + 1);
    char block[65536];
    for (;;) {
        const qint64 n = f.read(block, sizeof block);
        if (n < 0) {
            if (why)
                *why = f.errorString();
            return false;
        }
        if (n == 0)
            break;
        if (data.size() + n > limit) {
            if (why)
                *why = QStringLiteral("it is more than the %1 such a file can have").arg(sizeText(limit));
            return false;
        }
        data.append(block, int(n));
    }
    if (bytes)
        *bytes = data;
    return true;
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
    if (bytes >= 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

unsigned currentUmask()
{
    // Read without changing it where the system tells (Linux 4.7 on) ...
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mask & 0777;
            }
    }
    // ... else set and put back at once.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return unsigned(mask) & 0777;
}

QFileDevice::Permissions newFilePermissions()
{
    const unsigned mode = 0666 & ~currentUmask();
    QFileDevice::Permissions p;
    if (mode & 0400)
        p |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & 0200)
        p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & 0040)
        p |= QFileDevice::ReadGroup;
    if (mode & 0020)
        p |= QFileDevice::WriteGroup;
    if (mode & 0004)
        p |= QFileDevice::ReadOther;
    if (mode & 0002)
        p |= QFileDevice::WriteOther;
    return p;
}

bool writeUserFile(const QString &path, const QByteArray &bytes, QString *why)
{
    if (path.trimmed().isEmpty()) {
        if (why)
            *why = QStringLiteral("no file name was given");
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            if (why)
                *why = QStringLiteral("it is a folder");
            return false;
        }
        // A device or a pipe takes the bytes as they are; a pipe nobody
        // reads is refused rather than waited for.
        const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (why)
                *why = errno == ENXIO ? QStringLiteral("nothing reads from that pipe") : errnoText(errno);
            return false;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                if (why)
                    *why = errnoText(errno);
                ::close(fd);
                return false;
            }
            done += n;
        }
        ::close(fd);
        return true;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (why)
            *why = f.errorString();
        return false;
    }
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        if (why)
            *why = f.errorString();
        return false;
    }
    return true;
}

QString describe(const QString &path, const QString &why)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(": ") + why;
}

} // namespace velmor::files
