#include "db/BackupFile.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <atomic>
#include <bit>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sched.h>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <openssl/evp.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

namespace velmor::db::backup {

namespace {

constexpr quint64 kFnvOffset = 1469598103934665603ULL;
constexpr quint64 kMix = 0x9e3779b97f4a7c15ULL;
constexpr int kStoredBlock = 65535;
constexpr int kRawBlock = 128 * 1024; // the largest block a zstd frame may hold
const QByteArray kGzipMagic = QByteArrayLiteral("\x1f\x8b");
const QByteArray kZstdMagic = QByteArrayLiteral("\x28\xb5\x2f\xfd");
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

quint64 load64(const char *p)
{
    quint64 w;
    std::memcpy(&w, p, 8);
    return qFromLittleEndian(w);
}

quint32 load32(const char *p)
{
    quint32 w;
    std::memcpy(&w, p, 4);
    return qFromLittleEndian(w);
}

quint64 rotl(quint64 x, int r) { return (x << r) | (x >> (64 - r)); }

// Non-zero when one of the word's eight bytes is c.
quint64 holds(quint64 w, char c)
{
    constexpr quint64 ones = 0x0101010101010101ULL;
    const quint64 x = w ^ (ones * quint8(c));
    return (x - ones) & ~x & 0x8080808080808080ULL;
}

// XXH64 with seed 0: a zstd frame's content checksum is its low 32 bits.
quint64 xxh64(const char *p, qsizetype len)
{
    constexpr quint64 p1 = 0x9E3779B185EBCA87ULL, p2 = 0xC2B2AE3D27D4EB4FULL, p3 = 0x165667B19E3779F9ULL,
                      p4 = 0x85EBCA77C2B2AE63ULL, p5 = 0x27D4EB2F165667C5ULL;
    auto round = [](quint64 acc, quint64 in) { return rotl(acc + in * p2, 31) * p1; };
    const char *e = p + len;
    quint64 h;
    if (len >= 32) {
        quint64 v1 = p1 + p2, v2 = p2, v3 = 0, v4 = 0 - p1;
        do {
            v1 = round(v1, load64(p));
            v2 = round(v2, load64(p + 8));
            v3 = round(v3, load64(p + 16));
            v4 = round(v4, load64(p + 24));
            p += 32;
        } while (e - p >= 32);
        h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        for (const quint64 v : {v1, v2, v3, v4})
            h = (h ^ round(0, v)) * p1 + p4;
    } else {
        h = p5;
    }
    h += quint64(len);
    for (; e - p >= 8; p += 8)
        h = rotl(h ^ round(0, load64(p)), 27) * p1 + p4;
    if (e - p >= 4) {
        h = rotl(h ^ (quint64(load32(p)) * p1), 23) * p2 + p3;
        p += 4;
    }
    for (; p < e; ++p)
        h = rotl(h ^ (quint64(quint8(*p)) * p5), 11) * p1;
    h ^= h >> 33;
    h *= p2;
    h ^= h >> 29;
    h *= p3;
    h ^= h >> 32;
    return h;
}

// SHA-256 of the compressed dump, by the system's crypto library (which
// uses the processor's SHA instructions: a tenth of Qt's own time).
class Sha256 {
public:
    Sha256() : m_ctx(EVP_MD_CTX_new())
    {
        if (m_ctx && EVP_DigestInit_ex(m_ctx, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(m_ctx);
            m_ctx = nullptr;
        }
    }
    ~Sha256() { EVP_MD_CTX_free(m_ctx); }
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;
    void add(const char *data, qsizetype size)
    {
        if (m_ctx)
            EVP_DigestUpdate(m_ctx, data, size_t(size));
    }
    // Lower-case hex; empty when the library failed (never equal to a file's).
    QByteArray hex()
    {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        if (!m_ctx || EVP_DigestFinal_ex(m_ctx, md, &len) != 1)
            return {};
        return QByteArray(reinterpret_cast<const char *>(md), int(len)).toHex();
    }

private:
    EVP_MD_CTX *m_ctx;
};

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

// The same for the zstd files: one frame of raw blocks with its content
// size and checksum, which zstdcat prints as it is.
qint64 rawFrameSize(qint64 textSize)
{
    const qint64 blocks = std::max<qint64>(1, (textSize + kRawBlock - 1) / kRawBlock);
    return 4 + 1 + 4 + blocks * 3 + textSize + 4;
}

QByteArray rawFrame(const QByteArray &text)
{
    QByteArray out;
    out.reserve(int(rawFrameSize(text.size())));
    out.append(kZstdMagic);
    // Frame header: a 4-byte content size, a single segment (the window is
    // the content), a content checksum, no dictionary.
    out.append(char(0xa4));
    const quint32 size = quint32(text.size());
    for (int i = 0; i < 4; ++i)
        out.append(char((size >> (8 * i)) & 0xff));
    qsizetype at = 0;
    do {
        const int n = int(std::min<qsizetype>(kRawBlock, text.size() - at));
        const bool last = at + n >= text.size();
        const quint32 block = (quint32(n) << 3) | (last ? 1 : 0); // raw block: type 0
        for (int i = 0; i < 3; ++i)
            out.append(char((block >> (8 * i)) & 0xff));
        out.append(text.constData() + at, n);
        at += n;
    } while (at < text.size());
    const quint32 check = quint32(xxh64(text.constData(), text.size()));
    for (int i = 0; i < 4; ++i)
        out.append(char((check >> (8 * i)) & 0xff));
    return out;
}

qint64 headerMemberSize(Packing packing, qint64 textSize)
{
    return packing == Packing::Zstd ? rawFrameSize(textSize) : storedMemberSize(textSize);
}

QByteArray headerMember(Packing packing, const QByteArray &text)
{
    return packing == Packing::Zstd ? rawFrame(text) : storedMember(text);
}

struct ZstdFree {
    void operator()(ZSTD_DCtx *d) const { ZSTD_freeDCtx(d); }
    void operator()(ZSTD_CCtx *c) const { ZSTD_freeCCtx(c); }
};

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

Packing packingFor(const QString &file)
{
    return file.endsWith(QLatin1String(".gz"), Qt::CaseInsensitive) ? Packing::Gzip : Packing::Zstd;
}

QString backupSuffix() { return QStringLiteral(".sql.zst"); }

QStringList backupSuffixes() { return {QStringLiteral(".sql.zst"), QStringLiteral(".sql.gz")}; }

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
// a word, each word mixed into the row's hash with one multiplication.  The
// bytes between two that matter (a quote, a backslash, the row's end) are
// taken a word at a time, which hashes them exactly as byte by byte.
const char *DumpDigest::values(const char *p, const char *e)
{
    quint64 h = m_hash, word = m_word;
    int n = m_wordBytes;
    auto mix = [&](quint64 w) {
        h = (h ^ w) * kMix;
        h ^= h >> 29;
    };
    auto take = [&](char c) {
        word |= quint64(quint8(c)) << (8 * n);
        if (++n == 8) {
            mix(word);
            word = 0;
            n = 0;
        }
    };
    // Takes the bytes up to the first `a` or `b` (or the end), eight at a
    // time: the bytes of a word before the first of them are added to the
    // row's word at once.  On copies kept in registers (the compiler must
    // assume that the text may overlap the variables outside).
    auto run = [&](char a, char b) {
        quint64 hh = h, ww = word;
        int nn = n;
        const char *q = p;
        bool found = false;
        while (!found && e - q >= 8) {
            const quint64 w = load64(q);
            const quint64 hit = holds(w, a) | holds(w, b);
            found = hit != 0;
            // The lowest flag is exact: the bytes before it are ordinary.
            const int k = found ? std::countr_zero(hit) / 8 : 8;
            if (k > 0) {
                const quint64 bytes = k == 8 ? w : w & ((quint64(1) << (8 * k)) - 1);
                if (nn + k < 8) {
                    ww |= bytes << (8 * nn);
                    nn += k;
                } else {
                    hh = (hh ^ (ww | (bytes << (8 * nn)))) * kMix;
                    hh ^= hh >> 29;
                    ww = nn == 0 ? 0 : bytes >> (8 * (8 - nn));
                    nn += k - 8;
                }
            }
            q += k;
        }
        h = hh;
        word = ww;
        n = nn;
        p = q;
        if (!found)
            for (; p < e && *p != a && *p != b; ++p)
                take(*p);
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
            run(')', '\'');
            if (p == e)
                break;
            if (*p == ')') {
                m_table->sum += finishHash((h ^ word ^ (quint64(n) << 56)) * kMix);
                ++m_table->rows;
                ++m_rows;
                m_state = State::Between;
            } else {
                take('\'');
                m_state = State::Quoted;
            }
            ++p;
            break;
        case State::Quoted: {
            run('\\', '\'');
            if (p == e)
                break;
            const char c = *p++;
            take(c);
            m_state = c == '\\' ? State::Escaped : State::Row;
            break;
        }
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

// The pieces read from the dump tool are summed, compressed and written on a
// thread of their own, fed through a queue.  That thread runs at the idle
// priority: it takes the time that the server and the dump tool leave over
// rather than taking turns with them, which on a machine of two cores would
// slow the dump itself.  Should it get hardly any time (a machine busy with
// other work) or fall far behind, it stands down for a thread at the normal
// priority, and the reading thread waits for that one as it must;
// at the end the reading thread works whatever is left itself.  Whoever
// works a piece holds `stream` and takes the piece from the queue's front
// only then, so that the pieces go through in their order.
struct Writer::State {
    // Past this many bytes waiting the idle thread stands down; the reading
    // thread waits for the queue to come under it again.
    static constexpr qint64 kMostWaiting = 32 * 1024 * 1024;
    // What the idle thread does between two looks at whether to let go.
    static constexpr qsizetype kSlice = 64 * 1024;
    // An idle thread that has done no slice for this long, with work
    // waiting, is starved (a machine busy with other work): it stands down.
    static constexpr qint64 kStarvedMs = 50;

    int fd = -1;
    Packing packing = Packing::Zstd;
    z_stream z{};
    bool zOpen = false;
    std::unique_ptr<ZSTD_CCtx, ZstdFree> zstd;
    Sha256 sha;
    qint64 bodyBytes = 0;
    qint64 headerMember = 0;
    int reserve = 0;
    QString partShown; // FILE.part, for messages
    // What is compressed gathers here and goes to the disk a megabyte at a time.
    QByteArray out = QByteArray(1024 * 1024, Qt::Uninitialized);
    qsizetype outUsed = 0;
    Inspect inspect;

    std::thread idleWorker;
    std::thread worker; // at the normal priority, once the idle one stood down
    std::mutex stream;  // held while a piece is summed and compressed
    std::mutex mutex;   // the queue and the flags below
    std::condition_variable changed;
    std::deque<QByteArray> queue;
    qint64 queued = 0; // bytes waiting
    std::atomic<bool> standDown{false}; // the idle worker lets go (for good)
    std::atomic<bool> helping{false};   // the reading thread works the queue
    QElapsedTimer clock;
    std::atomic<qint64> lastSlice{0}; // on `clock`: the idle thread's last slice, or work arriving
    bool closing = false;               // no more pieces come
    bool failed = false;
    QString failure; // why, when failed (written only while holding `stream`)

    bool flushOut()
    {
        int err = 0;
        if (outUsed > 0 && !writeAll(fd, out.constData(), outUsed, &err)) {
            failure = QStringLiteral("%1 cannot be written: %2").arg(partShown, systemError(err));
            return false;
        }
        sha.add(out.constData(), outUsed);
        bodyBytes += outUsed;
        outUsed = 0;
        return true;
    }

    // Compresses one piece (`last`: and ends the stream); false with
    // `failure` set.
    bool compress(const char *data, qsizetype size, bool last)
    {
        if (packing == Packing::Zstd) {
            ZSTD_inBuffer in{data, size_t(size), 0};
            for (;;) {
                ZSTD_outBuffer o{out.data(), size_t(out.size()), size_t(outUsed)};
                const size_t left = ZSTD_compressStream2(zstd.get(), &o, &in, last ? ZSTD_e_end : ZSTD_e_continue);
                if (ZSTD_isError(left)) {
                    failure = QStringLiteral("the compression failed: %1").arg(QString::fromLatin1(ZSTD_getErrorName(left)));
                    return false;
                }
                outUsed = qsizetype(o.pos);
                if (outUsed == out.size() && !flushOut())
                    return false;
                if (last ? left == 0 : in.pos == in.size)
                    return !last || flushOut();
            }
        }
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        z.avail_in = uInt(size);
        for (;;) {
            z.next_out = reinterpret_cast<Bytef *>(out.data() + outUsed);
            z.avail_out = uInt(out.size() - outUsed);
            const int rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            outUsed = out.size() - z.avail_out;
            if (outUsed == out.size() && !flushOut())
                return false;
            if (last ? rc == Z_STREAM_END : (z.avail_in == 0 && z.avail_out > 0))
                return !last || flushOut();
        }
    }

    // Sums and compresses the piece at the queue's front, holding `stream`;
    // false when the queue was empty.  The idle worker goes a slice at a
    // time and, once asked to let go, puts back what it has not done: whoever
    // takes over waits for no more than a slice of a thread that a busy
    // machine may give hardly any time.
    bool workFront(bool idle)
    {
        QByteArray piece;
        bool skip = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (queue.empty())
                return false;
            piece = std::move(queue.front());
            queue.pop_front();
            skip = failed;
        }
        qsizetype done = 0;
        bool ok = true;
        while (ok && done < piece.size() && !(idle && (standDown || helping))) {
            const qsizetype n = idle ? std::min(kSlice, piece.size() - done) : piece.size() - done;
            if (!skip) {
                if (inspect)
                    inspect(piece.constData() + done, n);
                ok = compress(piece.constData() + done, n, false);
            }
            done += n;
            if (idle)
                lastSlice = clock.elapsed();
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!ok) {
                queued -= piece.size();
                failed = true;
            } else {
                queued -= done;
                if (done < piece.size())
                    queue.push_front(done == 0 ? std::move(piece) : piece.mid(done));
            }
        }
        changed.notify_all();
        return true;
    }

    void run(bool idle)
    {
        if (idle) {
            // Refused where the system allows no such thing: then it works
            // at the normal priority, as the reading thread does.
            sched_param lowest{};
            ::sched_setscheduler(0, SCHED_IDLE, &lowest);
        }
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { return (!queue.empty() && !helping) || closing || (idle && standDown); });
                if (closing || (idle && standDown))
                    return; // what is left is worked by the reading thread
            }
            std::lock_guard<std::mutex> hold(stream);
            workFront(idle);
        }
    }

    // Called by the reading thread with a piece queued: false once writing
    // has failed.  Once the idle worker gets no time, or past the most that
    // may wait, it hands over to one at the normal priority, and this thread
    // waits for that one: the memory stays small when the disk is slow.
    bool queuedOne(std::unique_lock<std::mutex> &lock, bool wasEmpty)
    {
        if (wasEmpty)
            lastSlice = clock.elapsed();
        if (!standDown && (queued > kMostWaiting || clock.elapsed() - lastSlice > kStarvedMs)) {
            standDown = true;
            worker = std::thread([this] { run(false); });
        }
        changed.notify_all();
        changed.wait(lock, [this] { return queued <= kMostWaiting || failed; });
        return !failed;
    }

    // The reading thread works off what waits; false when writing has failed.
    bool workRest()
    {
        helping = true;
        changed.notify_all();
        {
            std::lock_guard<std::mutex> hold(stream);
            while (workFront(false)) {
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        helping = false;
        changed.notify_all();
        return !failed;
    }

    // Ends the workers; `drop`: the pieces waiting are let go.
    void stopWorker(bool drop = false)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            if (drop)
                queue.clear();
        }
        changed.notify_all();
        for (std::thread *t : {&idleWorker, &worker})
            if (t->joinable())
                t->join();
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

bool Writer::failed()
{
    QString why;
    {
        std::lock_guard<std::mutex> lock(m_s->mutex);
        why = m_s->failure;
    }
    return fail(why);
}

bool Writer::fail(const QString &what)
{
    m_error = what;
    abandon();
    return false;
}

bool Writer::open(const QString &file, int reserve, Inspect inspect)
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
    m_s->partShown = QDir::toNativeSeparators(partName());
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
    m_s->packing = packingFor(m_file);
    m_s->reserve = reserve;
    m_s->headerMember = headerMemberSize(m_s->packing, reserve);
    const QByteArray placeholder(int(m_s->headerMember), '\0');
    int err = 0;
    if (!writeAll(m_s->fd, placeholder.constData(), placeholder.size(), &err))
        return fail(QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(partName()), systemError(err)));
    if (m_s->packing == Packing::Zstd) {
        // Level 1: about as small as gzip's best and several times faster
        // than gzip's fastest; each frame carries its content's checksum.
        m_s->zstd.reset(ZSTD_createCCtx());
        if (!m_s->zstd || ZSTD_isError(ZSTD_CCtx_setParameter(m_s->zstd.get(), ZSTD_c_compressionLevel, 1))
            || ZSTD_isError(ZSTD_CCtx_setParameter(m_s->zstd.get(), ZSTD_c_checksumFlag, 1)))
            return fail(QStringLiteral("the compression could not be started"));
    } else {
        if (deflateInit2(&m_s->z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return fail(QStringLiteral("the compression could not be started"));
        m_s->zOpen = true;
    }
    m_s->inspect = std::move(inspect);
    m_s->clock.start();
    m_s->idleWorker = std::thread([s = m_s.get()] { s->run(true); });
    return true;
}

bool Writer::write(const char *data, qsizetype size) { return write(QByteArray(data, size)); }

bool Writer::write(QByteArray piece)
{
    if (!m_s)
        return false;
    m_textBytes += piece.size();
    bool ok = false;
    {
        std::unique_lock<std::mutex> lock(m_s->mutex);
        if (!m_s->failed) {
            const bool wasEmpty = m_s->queue.empty();
            m_s->queued += piece.size();
            m_s->queue.push_back(std::move(piece));
            ok = m_s->queuedOne(lock, wasEmpty);
        }
    }
    return ok || failed();
}

bool Writer::drain()
{
    if (!m_s)
        return false;
    return m_s->workRest() || failed();
}

bool Writer::finish(Header &header)
{
    if (!m_s)
        return false;
    m_s->stopWorker();
    if (!m_s->workRest() || !m_s->compress(nullptr, 0, true))
        return fail(m_s->failure);
    header.bodyBytes = m_s->bodyBytes;
    header.bodyTextBytes = m_textBytes;
    header.bodySha256 = m_s->sha.hex();
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
    const QByteArray member = headerMember(m_s->packing, text);
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

// Decompresses the first member (gzip) or frame (zstd) of the file: the
// header.
bool readHeaderMember(QFile &f, Packing packing, QByteArray *text, qint64 *memberBytes, QString *problem, bool *damaged)
{
    z_stream z{};
    std::unique_ptr<ZSTD_DCtx, ZstdFree> zstd;
    if (packing == Packing::Zstd)
        zstd.reset(ZSTD_createDCtx());
    if (packing == Packing::Zstd ? !zstd : inflateInit2(&z, 15 + 16) != Z_OK) {
        *problem = QStringLiteral("the decompression could not be started");
        return false;
    }
    struct End {
        z_stream *z;
        ~End()
        {
            if (z)
                inflateEnd(z);
        }
    } end{packing == Packing::Gzip ? &z : nullptr};
    QByteArray in(64 * 1024, Qt::Uninitialized);
    QByteArray out(64 * 1024, Qt::Uninitialized);
    bool done = false;
    qint64 consumed = 0;
    while (!done) {
        const qint64 n = f.read(in.data(), in.size());
        if (n <= 0) {
            *damaged = true;
            *problem = QStringLiteral("it is cut short inside its header");
            return false;
        }
        qsizetype used = 0; // of this read
        while (used < n && !done) {
            QString error;
            qsizetype produced = 0;
            if (packing == Packing::Zstd) {
                ZSTD_inBuffer zi{in.constData(), size_t(n), size_t(used)};
                ZSTD_outBuffer zo{out.data(), size_t(out.size()), 0};
                const size_t rc = ZSTD_decompressStream(zstd.get(), &zo, &zi);
                if (ZSTD_isError(rc))
                    error = QString::fromLatin1(ZSTD_getErrorName(rc));
                used = qsizetype(zi.pos);
                produced = qsizetype(zo.pos);
                done = rc == 0;
            } else {
                z.next_in = reinterpret_cast<Bytef *>(in.data() + used);
                z.avail_in = uInt(n - used);
                z.next_out = reinterpret_cast<Bytef *>(out.data());
                z.avail_out = uInt(out.size());
                const int rc = inflate(&z, Z_NO_FLUSH);
                if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                    error = z.msg ? QString::fromLatin1(z.msg) : QString::number(rc);
                used = n - z.avail_in;
                produced = out.size() - z.avail_out;
                done = rc == Z_STREAM_END;
            }
            if (!error.isEmpty()) {
                *damaged = true;
                *problem = QStringLiteral("its header does not read (%1)").arg(error);
                return false;
            }
            text->append(out.constData(), produced);
            if (text->size() > kHeaderLimit) {
                *problem = QStringLiteral("it does not begin with a Velmor backup header");
                return false;
            }
        }
        consumed += used;
    }
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
    if (magic.startsWith(kZstdMagic)) {
        c.packing = Packing::Zstd;
    } else if (magic.startsWith(kGzipMagic)) {
        c.packing = Packing::Gzip;
    } else {
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
    if (!readHeaderMember(f, c.packing, &text, &c.headerBytes, &why, &damaged)) {
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
        Sha256 sha;
        f.seek(c.headerBytes);
        QByteArray buf(1024 * 1024, Qt::Uninitialized);
        qint64 left = c.header.bodyBytes;
        while (left > 0) {
            const qint64 n = f.read(buf.data(), std::min<qint64>(left, buf.size()));
            if (n <= 0) {
                c.problem = QStringLiteral("%1 cannot be read: %2").arg(shown, f.errorString());
                return c;
            }
            sha.add(buf.constData(), n);
            left -= n;
        }
        if (sha.hex() != c.header.bodySha256) {
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
    Packing packing = Packing::Zstd;
    z_stream z{};
    bool zOpen = false;
    std::unique_ptr<ZSTD_DCtx, ZstdFree> zstd;
    qint64 left = 0; // compressed bytes not read yet
    QByteArray in = QByteArray(256 * 1024, Qt::Uninitialized);
    qsizetype inAt = 0, inEnd = 0; // what of `in` is not decompressed yet
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
    m_s->packing = check.packing;
    if (check.packing == Packing::Zstd) {
        m_s->zstd.reset(ZSTD_createDCtx());
        if (!m_s->zstd) {
            m_error = QStringLiteral("the decompression could not be started");
            return false;
        }
    } else {
        if (inflateInit2(&m_s->z, 15 + 16) != Z_OK) {
            m_error = QStringLiteral("the decompression could not be started");
            return false;
        }
        m_s->zOpen = true;
    }
    return true;
}

qsizetype BodyReader::read(char *out, qsizetype max)
{
    if (!m_s || !(m_s->zOpen || m_s->zstd))
        return -1;
    if (m_s->ended)
        return 0;
    State &s = *m_s;
    qsizetype got = 0;
    while (got == 0) {
        if (s.inAt == s.inEnd) {
            if (s.left <= 0) {
                m_error = QStringLiteral("%1 is damaged: its compressed SQL ends too early").arg(s.shown);
                return -1;
            }
            const qint64 n = s.file.read(s.in.data(), std::min<qint64>(s.left, s.in.size()));
            if (n <= 0) {
                m_error = QStringLiteral("%1 cannot be read: %2").arg(s.shown, s.file.errorString());
                return -1;
            }
            s.left -= n;
            s.inAt = 0;
            s.inEnd = n;
        }
        QString error;
        if (s.packing == Packing::Zstd) {
            ZSTD_inBuffer zi{s.in.constData(), size_t(s.inEnd), size_t(s.inAt)};
            ZSTD_outBuffer zo{out, size_t(max), 0};
            const size_t rc = ZSTD_decompressStream(s.zstd.get(), &zo, &zi);
            if (ZSTD_isError(rc))
                error = QString::fromLatin1(ZSTD_getErrorName(rc));
            s.inAt = qsizetype(zi.pos);
            got = qsizetype(zo.pos);
            s.ended = rc == 0;
        } else {
            s.z.next_in = reinterpret_cast<Bytef *>(s.in.data() + s.inAt);
            s.z.avail_in = uInt(s.inEnd - s.inAt);
            s.z.next_out = reinterpret_cast<Bytef *>(out);
            s.z.avail_out = uInt(max);
            const int rc = inflate(&s.z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                error = s.z.msg ? QString::fromLatin1(s.z.msg) : QString::number(rc);
            s.inAt = s.inEnd - s.z.avail_in;
            got = max - s.z.avail_out;
            s.ended = rc == Z_STREAM_END;
        }
        if (!error.isEmpty()) {
            m_error = QStringLiteral("%1 is damaged: its compressed SQL does not read (%2)").arg(s.shown, error);
            return -1;
        }
        if (s.ended) {
            if (s.inAt < s.inEnd || s.left > 0) {
                m_error = QStringLiteral("%1 is damaged: data follows the end of its compressed SQL").arg(s.shown);
                return -1;
            }
            break;
        }
    }
    m_textRead += got;
    if (s.ended && m_textRead != s.expectedText) {
        m_error = QStringLiteral("%1 is damaged: it holds %2 bytes of SQL where the backup wrote %3")
                      .arg(s.shown)
                      .arg(m_textRead)
                      .arg(s.expectedText);
        return -1;
    }
    return got;
}

} // namespace velmor::db::backup
