#include "db/BackupFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace velmor::db::backup {

namespace {

constexpr quint64 kFnvOffset = 1469598103934665603ULL;
constexpr quint64 kMix = 0x9e3779b97f4a7c15ULL;
constexpr int kStoredBlock = 65535;
constexpr qint64 kHeaderLimit = 16 * 1024 * 1024;
const QByteArray kFirstLine = QByteArrayLiteral("-- Velmor backup, format 1\n");
const QByteArray kEndLine = QByteArrayLiteral("-- End of header\n");

// The end of a row's hash: spread over all 64 bits so that the sum of many
// rows keeps every bit alive.
quint64 finishHash(quint64 h)
{
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebULL;
    h ^= h >> 31;
    return h;
}

// A back-quoted name starting at p (just after the opening quote); returns
// the position after the closing quote, or nullptr.
const char *quotedName(const char *p, const char *e, QByteArray *name)
{
    name->clear();
    while (p < e) {
        if (*p == '`') {
            if (p + 1 < e && p[1] == '`') {
                name->append('`');
                p += 2;
                continue;
            }
            return p + 1;
        }
        name->append(*p++);
    }
    return nullptr;
}

bool startsWith(const char *b, const char *e, const char *prefix)
{
    const size_t n = std::strlen(prefix);
    return size_t(e - b) >= n && std::memcmp(b, prefix, n) == 0;
}

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

bool writeAll(int fd, const char *data, qsizetype size, int *err)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// The header as one gzip member of stored (uncompressed) blocks: its size
// follows from the text's length alone, so it can be written first as a
// placeholder and again in its place at the end.
qint64 storedMemberSize(qint64 textSize)
{
    const qint64 blocks = std::max<qint64>(1, (textSize + kStoredBlock - 1) / kStoredBlock);
    return 10 + blocks * 5 + textSize + 8;
}

QByteArray storedMember(const QByteArray &text)
{
    QByteArray out;
    out.reserve(int(storedMemberSize(text.size())));
    const char gzipHead[10] = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, 3};
    out.append(gzipHead, 10);
    qsizetype at = 0;
    do {
        const int n = int(std::min<qsizetype>(kStoredBlock, text.size() - at));
        const bool last = at + n >= text.size();
        out.append(char(last ? 1 : 0));
        out.append(char(n & 0xff));
        out.append(char((n >> 8) & 0xff));
        out.append(char(~n & 0xff));
        out.append(char((~n >> 8) & 0xff));
        out.append(text.constData() + at, n);
        at += n;
    } while (at < text.size());
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(text.constData()), uInt(text.size()));
    for (int i = 0; i < 4; ++i)
        out.append(char((crc >> (8 * i)) & 0xff));
    const quint32 size = quint32(text.size());
    for (int i = 0; i < 4; ++i)
        out.append(char((size >> (8 * i)) & 0xff));
    return out;
}

QString oneLine(QString s)
{
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

QString fileSize(qint64 bytes)
{
    return QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

QString TableSum::checksumText() const { return QStringLiteral("%1").arg(sum, 16, 16, QLatin1Char('0')); }

void DumpDigest::feed(const char *data, qsizetype size)
{
    const char *p = data;
    const char *e = data + size;
    while (p < e) {
        if (m_skipLine) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
            if (!nl)
                return;
            m_skipLine = false;
            p = nl + 1;
            continue;
        }
        if (m_state != State::Lines) {
            p = values(p, e);
            continue;
        }
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
        if (!nl) {
            m_pending.append(p, e - p);
            return;
        }
        if (m_pending.isEmpty()) {
            line(p, nl);
        } else {
            m_pending.append(p, nl - p);
            line(m_pending.constData(), m_pending.constData() + m_pending.size());
            m_pending.clear();
        }
        p = nl + 1;
    }
}

void DumpDigest::finish()
{
    if (m_state == State::Lines && !m_skipLine && !m_pending.isEmpty())
        line(m_pending.constData(), m_pending.constData() + m_pending.size());
    m_pending.clear();
    m_state = State::Lines;
    m_skipLine = false;
}

void DumpDigest::line(const char *b, const char *e)
{
    QByteArray name;
    if (m_tool.isEmpty() && (startsWith(b, e, "-- MariaDB dump ") || startsWith(b, e, "-- MySQL dump "))) {
        m_tool = QString::fromUtf8(b + 3, e - b - 3).simplified();
        return;
    }
    if (startsWith(b, e, "CREATE TABLE `")) {
        if (quotedName(b + 14, e, &name)) {
            const QString n = QString::fromUtf8(name).toLower();
            m_tables[n].name = n;
        }
        return;
    }
    if (!startsWith(b, e, "INSERT INTO `"))
        return;
    const char *p = quotedName(b + 13, e, &name);
    if (!p)
        return;
    // An explicit column list: skip it.
    if (startsWith(p, e, " (")) {
        p += 2;
        while (p < e && *p != ')') {
            if (*p == '`') {
                QByteArray column;
                p = quotedName(p + 1, e, &column);
                if (!p)
                    return;
            } else {
                ++p;
            }
        }
        if (p < e)
            ++p;
    }
    if (!startsWith(p, e, " VALUES"))
        return;
    p += 7;
    const QString n = QString::fromUtf8(name).toLower();
    m_table = &m_tables[n];
    m_table->name = n;
    m_current = n;
    m_state = State::Between;
    // Rows on the same line (older tools write a statement a line); newer
    // ones go on, a row a line, after it.
    values(p, e);
    m_skipLine = false; // the rest of this line is read already
}

// Rows: (v,v,...),(v,...);  a value is a number, NULL, 0x.. or a quoted
// string in which a backslash escapes the next character.  Each row's text
// between its parentheses is hashed: its bytes gathered eight at a time into
// a word, each word mixed into the row's hash with one multiplication.
const char *DumpDigest::values(const char *p, const char *e)
{
    quint64 h = m_hash, word = m_word;
    int n = m_wordBytes;
    auto take = [&](char c) {
        word |= quint64(quint8(c)) << (8 * n);
        if (++n == 8) {
            h = (h ^ word) * kMix;
            h ^= h >> 29;
            word = 0;
            n = 0;
        }
    };
    while (p < e) {
        switch (m_state) {
        case State::Lines:
            m_hash = h;
            m_word = word;
            m_wordBytes = n;
            return p;
        case State::Between: {
            const char c = *p++;
            if (c == '(') {
                m_state = State::Row;
                h = kFnvOffset;
                word = 0;
                n = 0;
            } else if (c == ';') {
                // The statement's end; the rest of its line is no SQL of rows.
                m_state = State::Lines;
                m_table = nullptr;
                m_skipLine = true;
                m_hash = h;
                m_word = word;
                m_wordBytes = n;
                return p;
            }
            break;
        }
        case State::Row:
            for (; p < e; ++p) {
                const char c = *p;
                if (c == ')') {
                    m_table->sum += finishHash((h ^ word ^ (quint64(n) << 56)) * kMix);
                    ++m_table->rows;
                    ++m_rows;
                    m_state = State::Between;
                    ++p;
                    break;
                }
                take(c);
                if (c == '\'') {
                    m_state = State::Quoted;
                    ++p;
                    break;
                }
            }
            break;
        case State::Quoted:
            for (; p < e; ++p) {
                const char c = *p;
                take(c);
                if (c == '\\') {
                    m_state = State::Escaped;
                    ++p;
                    break;
                }
                if (c == '\'') {
                    m_state = State::Row;
                    ++p;
                    break;
                }
            }
            break;
        case State::Escaped:
            take(*p++);
            m_state = State::Quoted;
            break;
        }
    }
    m_hash = h;
    m_word = word;
    m_wordBytes = n;
    return p;
}

QList<TableSum> DumpDigest::tableList() const
{
    QList<TableSum> out;
    for (const auto &[name, t] : m_tables)
        out << t;
    return out;
}

QStringList compareSums(const QList<TableSum> &backup, const QList<TableSum> &restored)
{
    std::map<QString, TableSum> a, b;
    for (const TableSum &t : backup)
        a[t.name] = t;
    for (const TableSum &t : restored)
        b[t.name] = t;
    auto describe = [](const TableSum &t) {
        return QStringLiteral("%1 rows, checksum %2").arg(t.rows).arg(t.checksumText());
    };
    QStringList out;
    for (const auto &[name, t] : a) {
        const auto it = b.find(name);
        if (it == b.end())
            out << QStringLiteral("%1: %2 in the backup; the table is missing after the restore").arg(name, describe(t));
        else if (!(it->second == t))
            out << QStringLiteral("%1: %2 in the backup; %3 restored").arg(name, describe(t), describe(it->second));
    }
    for (const auto &[name, t] : b)
        if (!a.count(name))
            out << QStringLiteral("%1: not in the backup; %2 restored").arg(name, describe(t));
    return out;
}

QByteArray Header::text() const
{
    QString t = QString::fromLatin1(kFirstLine);
    t += QStringLiteral("-- Program: %1\n").arg(oneLine(program));
    t += QStringLiteral("-- Schema version: %1\n").arg(QString::number(schemaVersion, 'g', 10));
    t += QStringLiteral("-- Made: %1\n").arg(made.toString(Qt::ISODate));
    t += QStringLiteral("-- Kind: %1\n").arg(oneLine(kind));
    t += QStringLiteral("-- Database: %1\n").arg(oneLine(database));
    t += QStringLiteral("-- Source: %1\n").arg(oneLine(source));
    t += QStringLiteral("-- Server: %1\n").arg(oneLine(server));
    t += QStringLiteral("-- Tool: %1\n").arg(oneLine(tool));
    t += QStringLiteral("-- Dump: %1 bytes compressed, %2 bytes of SQL, SHA-256 %3\n")
             .arg(bodyBytes)
             .arg(bodyTextBytes)
             .arg(QString::fromLatin1(bodySha256));
    t += QStringLiteral("-- Tables: %1\n").arg(tables.size());
    for (const TableSum &s : tables)
        t += QStringLiteral("-- Table %1: %2 rows, checksum %3\n").arg(s.name).arg(s.rows).arg(s.checksumText());
    t += QString::fromLatin1(kEndLine);
    return t.toUtf8();
}

bool Header::parse(const QByteArray &text, Header *out, QString *why)
{
    if (!text.startsWith(kFirstLine)) {
        *why = QStringLiteral("it does not begin with a Velmor backup header");
        return false;
    }
    const int end = text.indexOf(kEndLine);
    if (end < 0) {
        *why = QStringLiteral("its header has no end");
        return false;
    }
    Header h;
    static const QRegularExpression field(QStringLiteral("^-- ([A-Za-z -]+): (.*)$"));
    static const QRegularExpression dump(
        QStringLiteral("^(\\d+) bytes compressed, (\\d+) bytes of SQL, SHA-256 ([0-9a-f]{64})$"));
    static const QRegularExpression table(QStringLiteral("^Table (.+): (\\d+) rows, checksum ([0-9a-f]{16})$"));
    int declaredTables = -1;
    bool sawDump = false, sawVersion = false;
    const QStringList lines = QString::fromUtf8(text.left(end)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &l : lines.mid(1)) {
        if (l.startsWith(QLatin1String("-- Table "))) {
            const QRegularExpressionMatch s = table.match(l.mid(3));
            if (s.hasMatch()) {
                TableSum ts;
                ts.name = s.captured(1);
                ts.rows = s.captured(2).toLongLong();
                ts.sum = s.captured(3).toULongLong(nullptr, 16);
                h.tables << ts;
            }
            continue;
        }
        const QRegularExpressionMatch m = field.match(l);
        if (!m.hasMatch())
            continue;
        const QString key = m.captured(1), value = m.captured(2).trimmed();
        if (key == QLatin1String("Program")) {
            h.program = value;
        } else if (key == QLatin1String("Schema version")) {
            bool ok = false;
            h.schemaVersion = value.toDouble(&ok);
            sawVersion = ok;
        } else if (key == QLatin1String("Made")) {
            h.made = QDateTime::fromString(value, Qt::ISODate);
        } else if (key == QLatin1String("Kind")) {
            h.kind = value;
        } else if (key == QLatin1String("Database")) {
            h.database = value;
        } else if (key == QLatin1String("Source")) {
            h.source = value;
        } else if (key == QLatin1String("Server")) {
            h.server = value;
        } else if (key == QLatin1String("Tool")) {
            h.tool = value;
        } else if (key == QLatin1String("Dump")) {
            const QRegularExpressionMatch d = dump.match(value);
            if (d.hasMatch()) {
                h.bodyBytes = d.captured(1).toLongLong();
                h.bodyTextBytes = d.captured(2).toLongLong();
                h.bodySha256 = d.captured(3).toLatin1();
                sawDump = true;
            }
        } else if (key == QLatin1String("Tables")) {
            declaredTables = value.toInt();
        }
    }
    if (!sawDump || !sawVersion || !h.made.isValid() || declaredTables != h.tables.size()) {
        *why = QStringLiteral("its header is incomplete");
        return false;
    }
    *out = h;
    return true;
}

int headerReserve(int tables) { return 4096 + 160 * (std::max(tables, 0) + 64); }

// The writer.

// The compression runs on a thread of its own, fed through a short queue:
// the dump tool is read (and its rows summed) while the last pieces are
// compressed and written, and never waits for the disk.
struct Writer::State {
    int fd = -1;
    z_stream z{};
    bool zOpen = false;
    QCryptographicHash sha{QCryptographicHash::Sha256};
    qint64 bodyBytes = 0;
    qint64 headerMember = 0;
    int reserve = 0;
    QByteArray out = QByteArray(256 * 1024, Qt::Uninitialized);

    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> queue;
    qint64 queued = 0;    // bytes waiting
    bool closing = false; // no more pieces come
    bool failed = false;
    int error = 0;        // errno of the failed write

    // Compresses one piece and writes what comes out; false on a write error.
    bool compress(const char *data, qsizetype size, int flush)
    {
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        z.avail_in = uInt(size);
        int rc = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            rc = deflate(&z, flush);
            const qsizetype have = out.size() - z.avail_out;
            if (have > 0) {
                if (!writeAll(fd, out.constData(), have, &error))
                    return false;
                sha.addData(QByteArrayView(out.constData(), have));
                bodyBytes += have;
            }
        } while (z.avail_in > 0 || z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
        return true;
    }

    void run()
    {
        for (;;) {
            QByteArray piece;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [this] { return !queue.empty() || closing; });
                if (queue.empty())
                    return;
                piece = std::move(queue.front());
                queue.pop_front();
            }
            const bool ok = failed || compress(piece.constData(), piece.size(), Z_NO_FLUSH);
            std::lock_guard<std::mutex> lock(mutex);
            queued -= piece.size();
            failed = failed || !ok;
            changed.notify_all();
        }
    }

    // Waits for the pieces queued to be written; `drop`: they are let go.
    void stopWorker(bool drop = false)
    {
        if (!worker.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            if (drop)
                queue.clear();
        }
        changed.notify_all();
        worker.join();
    }

    ~State()
    {
        stopWorker(true);
        if (zOpen)
            deflateEnd(&z);
        if (fd >= 0)
            ::close(fd);
    }
};

Writer::Writer() = default;

Writer::~Writer()
{
    if (m_s)
        abandon();
}

QString Writer::partName() const { return m_file + QStringLiteral(".part"); }

bool Writer::fail(const QString &what)
{
    m_error = what;
    abandon();
    return false;
}

bool Writer::open(const QString &file, int reserve, int level)
{
    m_file = QFileInfo(file).absoluteFilePath();
    m_error.clear();
    m_textBytes = 0;
    const QString dir = QFileInfo(m_file).absolutePath();
    if (!QFileInfo(dir).isDir()) {
        if (QFileInfo::exists(dir)) {
            m_error = QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(dir));
            return false;
        }
        errno = 0;
        if (!QDir().mkpath(dir)) {
            m_error = QStringLiteral("the folder %1 cannot be made%2")
                          .arg(QDir::toNativeSeparators(dir),
                               errno ? QStringLiteral(": ") + systemError(errno) : QString());
            return false;
        }
    }
    m_s = std::make_unique<State>();
    const QByteArray part = QFile::encodeName(partName());
    m_s->fd = ::open(part.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (m_s->fd < 0) {
        const int err = errno;
        m_s.reset();
        m_error = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(partName()), systemError(err));
        return false;
    }
    // One writer per file: a second backup to the same name waits its turn
    // by being refused, rather than both writing into one .part.
    if (::flock(m_s->fd, LOCK_EX | LOCK_NB) != 0) {
        m_s.reset();
        m_error = QStringLiteral("another backup is being written to %1 at this moment")
                      .arg(QDir::toNativeSeparators(m_file));
        return false;
    }
    if (::ftruncate(m_s->fd, 0) != 0)
        return fail(QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(partName()), systemError(errno)));
    m_s->reserve = reserve;
    m_s->headerMember = storedMemberSize(reserve);
    const QByteArray placeholder(int(m_s->headerMember), '\0');
    int err = 0;
    if (!writeAll(m_s->fd, placeholder.constData(), placeholder.size(), &err))
        return fail(QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(partName()), systemError(err)));
    if (deflateInit2(&m_s->z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return fail(QStringLiteral("the compression could not be started"));
    m_s->zOpen = true;
    m_s->worker = std::thread([s = m_s.get()] { s->run(); });
    return true;
}

bool Writer::write(const char *data, qsizetype size)
{
    if (!m_s)
        return false;
    m_textBytes += size;
    std::unique_lock<std::mutex> lock(m_s->mutex);
    // At most a few pieces wait: the memory stays small when the disk is slow.
    m_s->changed.wait(lock, [this] { return m_s->queued < 32 * 1024 * 1024 || m_s->failed; });
    if (m_s->failed) {
        const int err = m_s->error;
        lock.unlock();
        return fail(QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(partName()), systemError(err)));
    }
    m_s->queue.emplace_back(data, size);
    m_s->queued += size;
    lock.unlock();
    m_s->changed.notify_all();
    return true;
}

bool Writer::finish(Header &header)
{
    if (!m_s)
        return false;
    m_s->stopWorker();
    if (m_s->failed || !m_s->compress(nullptr, 0, Z_FINISH))
        return fail(QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(partName()), systemError(m_s->error)));
    header.bodyBytes = m_s->bodyBytes;
    header.bodyTextBytes = m_textBytes;
    header.bodySha256 = m_s->sha.result().toHex();
    QByteArray text = header.text();
    qsizetype left = m_s->reserve - text.size();
    if (left < 0)
        return fail(QStringLiteral("the database gained tables while it was being backed up; run the backup again"));
    // Padding up to the reserved size: comment lines of blanks, and one or
    // two blanks at the end of the program's line when no line fits.
    if (left == 1 || left == 2) {
        text.insert(text.indexOf('\n', kFirstLine.size()), QByteArray(int(left), ' '));
        left = 0;
    }
    while (left > 0) {
        qsizetype line = std::min<qsizetype>(left, 100);
        if (left - line == 1 || left - line == 2)
            line = left - 3;
        text += "--" + QByteArray(int(line - 3), ' ') + '\n';
        left -= line;
    }
    const QByteArray member = storedMember(text);
    int err = 0;
    if (::lseek(m_s->fd, 0, SEEK_SET) != 0 || !writeAll(m_s->fd, member.constData(), member.size(), &err))
        return fail(QStringLiteral("%1 cannot be written: %2")
                        .arg(QDir::toNativeSeparators(partName()), systemError(err ? err : errno)));
    if (::fsync(m_s->fd) != 0)
        return fail(QStringLiteral("%1 could not be saved to the disk: %2").arg(QDir::toNativeSeparators(partName()), systemError(errno)));
    ::close(m_s->fd);
    m_s->fd = -1;
    const QByteArray part = QFile::encodeName(partName());
    const QByteArray final = QFile::encodeName(m_file);
    if (::rename(part.constData(), final.constData()) != 0)
        return fail(QStringLiteral("%1 could not be renamed to %2: %3")
                        .arg(QDir::toNativeSeparators(partName()), QDir::toNativeSeparators(m_file), systemError(errno)));
    // The rename itself reaches the disk with the folder.
    const int dirFd = ::open(QFile::encodeName(QFileInfo(m_file).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    m_s.reset();
    return true;
}

void Writer::abandon()
{
    if (!m_s)
        return;
    m_s.reset();
    QFile::remove(partName());
}

// Reading.

namespace {

// Inflates the first gzip member of the file: the header.
bool readHeaderMember(QFile &f, QByteArray *text, qint64 *memberBytes, QString *problem, bool *damaged)
{
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) {
        *problem = QStringLiteral("the decompression could not be started");
        return false;
    }
    QByteArray in(64 * 1024, Qt::Uninitialized);
    QByteArray out(64 * 1024, Qt::Uninitialized);
    int rc = Z_OK;
    qint64 consumed = 0;
    while (rc != Z_STREAM_END) {
        const qint64 n = f.read(in.data(), in.size());
        if (n <= 0) {
            inflateEnd(&z);
            *damaged = true;
            *problem = QStringLiteral("it is cut short inside its header");
            return false;
        }
        z.next_in = reinterpret_cast<Bytef *>(in.data());
        z.avail_in = uInt(n);
        while (z.avail_in > 0 && rc != Z_STREAM_END) {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
                const QString msg = z.msg ? QString::fromLatin1(z.msg) : QString::number(rc);
                inflateEnd(&z);
                *damaged = true;
                *problem = QStringLiteral("its header does not read (%1)").arg(msg);
                return false;
            }
            text->append(out.constData(), out.size() - z.avail_out);
            if (text->size() > kHeaderLimit) {
                inflateEnd(&z);
                *problem = QStringLiteral("it does not begin with a Velmor backup header");
                return false;
            }
        }
        consumed += n - z.avail_in;
    }
    inflateEnd(&z);
    *memberBytes = consumed;
    return true;
}

} // namespace

Check checkFile(const QString &file, bool full)
{
    Check c;
    const QString shown = QDir::toNativeSeparators(file);
    QFileInfo fi(file);
    if (!fi.exists()) {
        c.problem = QStringLiteral("%1 does not exist").arg(shown);
        return c;
    }
    if (!fi.isFile()) {
        c.problem = QStringLiteral("%1 is not a file").arg(shown);
        return c;
    }
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        c.problem = QStringLiteral("%1 cannot be read: %2").arg(shown, f.errorString());
        return c;
    }
    c.fileBytes = f.size();
    const QByteArray magic = f.peek(64);
    if (!magic.startsWith("\x1f\x8b")) {
        if (magic.startsWith("-- MariaDB dump") || magic.startsWith("-- MySQL dump"))
            c.problem = QStringLiteral("%1 is not a Velmor backup: it is a plain SQL dump made by another program").arg(shown);
        else if (magic.isEmpty())
            c.problem = QStringLiteral("%1 is not a Velmor backup: it is empty").arg(shown);
        else
            c.problem = QStringLiteral("%1 is not a Velmor backup: it is not a compressed backup file").arg(shown);
        return c;
    }
    QByteArray text;
    QString why;
    bool damaged = false;
    if (!readHeaderMember(f, &text, &c.headerBytes, &why, &damaged)) {
        c.problem = damaged ? QStringLiteral("%1 is damaged: %2").arg(shown, why)
                            : QStringLiteral("%1 is not a Velmor backup: %2").arg(shown, why);
        return c;
    }
    if (!text.startsWith(kFirstLine)) {
        c.problem = QStringLiteral("%1 is not a Velmor backup: it is a compressed file of another kind").arg(shown);
        return c;
    }
    if (!Header::parse(text, &c.header, &why)) {
        c.problem = QStringLiteral("%1 is damaged: %2").arg(shown, why);
        return c;
    }
    c.headerRead = true;
    const qint64 expected = c.headerBytes + c.header.bodyBytes;
    if (c.fileBytes < expected) {
        c.problem = QStringLiteral("%1 is cut short: it holds %2 where the backup wrote %3")
                        .arg(shown, fileSize(c.fileBytes), fileSize(expected));
        return c;
    }
    if (c.fileBytes > expected) {
        c.problem = QStringLiteral("%1 is damaged: it holds %2 more than the backup wrote")
                        .arg(shown, fileSize(c.fileBytes - expected));
        return c;
    }
    if (full) {
        QCryptographicHash sha(QCryptographicHash::Sha256);
        f.seek(c.headerBytes);
        QByteArray buf(1024 * 1024, Qt::Uninitialized);
        qint64 left = c.header.bodyBytes;
        while (left > 0) {
            const qint64 n = f.read(buf.data(), std::min<qint64>(left, buf.size()));
            if (n <= 0) {
                c.problem = QStringLiteral("%1 cannot be read: %2").arg(shown, f.errorString());
                return c;
            }
            sha.addData(QByteArrayView(buf.constData(), n));
            left -= n;
        }
        if (sha.result().toHex() != c.header.bodySha256) {
            c.problem = QStringLiteral("%1 is damaged: its contents differ from the checksum written when it was made "
                                       "(a byte has changed)")
                            .arg(shown);
            return c;
        }
    }
    c.ok = true;
    return c;
}

struct BodyReader::State {
    QFile file;
    z_stream z{};
    bool zOpen = false;
    qint64 left = 0; // compressed bytes not read yet
    QByteArray in = QByteArray(256 * 1024, Qt::Uninitialized);
    bool ended = false;
    QString shown;
    qint64 expectedText = 0;
    ~State()
    {
        if (zOpen)
            inflateEnd(&z);
    }
};

BodyReader::BodyReader() = default;
BodyReader::~BodyReader() = default;

bool BodyReader::open(const QString &file, const Check &check)
{
    m_s = std::make_unique<State>();
    m_s->shown = QDir::toNativeSeparators(file);
    m_s->file.setFileName(file);
    if (!m_s->file.open(QIODevice::ReadOnly) || !m_s->file.seek(check.headerBytes)) {
        m_error = QStringLiteral("%1 cannot be read: %2").arg(m_s->shown, m_s->file.errorString());
        return false;
    }
    m_s->left = check.header.bodyBytes;
    m_s->expectedText = check.header.bodyTextBytes;
    if (inflateInit2(&m_s->z, 15 + 16) != Z_OK) {
        m_error = QStringLiteral("the decompression could not be started");
        return false;
    }
    m_s->zOpen = true;
    return true;
}

qsizetype BodyReader::read(char *out, qsizetype max)
{
    if (!m_s || !m_s->zOpen)
        return -1;
    if (m_s->ended)
        return 0;
    z_stream &z = m_s->z;
    z.next_out = reinterpret_cast<Bytef *>(out);
    z.avail_out = uInt(max);
    while (z.avail_out == uInt(max)) {
        if (z.avail_in == 0) {
            if (m_s->left <= 0) {
                m_error = QStringLiteral("%1 is damaged: its compressed SQL ends too early").arg(m_s->shown);
                return -1;
            }
            const qint64 n = m_s->file.read(m_s->in.data(), std::min<qint64>(m_s->left, m_s->in.size()));
            if (n <= 0) {
                m_error = QStringLiteral("%1 cannot be read: %2").arg(m_s->shown, m_s->file.errorString());
                return -1;
            }
            m_s->left -= n;
            z.next_in = reinterpret_cast<Bytef *>(m_s->in.data());
            z.avail_in = uInt(n);
        }
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            m_s->ended = true;
            if (z.avail_in > 0 || m_s->left > 0) {
                m_error = QStringLiteral("%1 is damaged: data follows the end of its compressed SQL").arg(m_s->shown);
                return -1;
            }
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            m_error = QStringLiteral("%1 is damaged: its compressed SQL does not read (%2)")
                          .arg(m_s->shown, z.msg ? QString::fromLatin1(z.msg) : QString::number(rc));
            return -1;
        }
    }
    const qsizetype got = max - z.avail_out;
    m_textRead += got;
    if (m_s->ended && m_textRead != m_s->expectedText) {
        m_error = QStringLiteral("%1 is damaged: it holds %2 bytes of SQL where the backup wrote %3")
                      .arg(m_s->shown)
                      .arg(m_textRead)
                      .arg(m_s->expectedText);
        return -1;
    }
    return got;
}

} // namespace velmor::db::backup
