#pragma once
// A backup file: a compressed file whose text is the header and then the SQL
// of the dump tool.  Decompressed (zstdcat, or zcat for the older gzip files)
// it is a plain SQL script that the MariaDB client restores by hand.
//
// On disk it is two members (zstd frames, or gzip members in the files of
// the older kind, which are still read and still written under a name that
// ends in .gz): the header, stored uncompressed and padded to a size reserved
// before the dump starts, and the dump itself.  The header names the program
// and schema version, the date, every table with its row count and
// checksum, and the length and SHA-256 of the second member, so that a file
// cut short, a changed byte or another program's file is told apart without
// restoring it.  The file is written as FILE.part, synced and renamed:
// nothing under the final name is ever half written.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

namespace velmor::db::backup {

// A table's rows as the dump tool wrote them: how many, and the sum of a
// 64-bit hash of each row's text (so the order of the rows does not count).
struct TableSum {
    QString name; // lower case
    qint64 rows = 0;
    quint64 sum = 0;
    QString checksumText() const; // 16 hex digits
    bool operator==(const TableSum &o) const { return name == o.name && rows == o.rows && sum == o.sum; }
};

// Reads the dump tool's SQL as it streams past (chunks may break anywhere)
// and keeps each table's row count and checksum.  Two dumps of the same
// rows give the same sums, whatever the order of the rows or the length of
// the INSERT statements.
class DumpDigest {
public:
    void feed(const char *data, qsizetype size);
    void finish();
    const std::map<QString, TableSum> &tables() const { return m_tables; }
    QList<TableSum> tableList() const;
    // The table whose rows came last (for progress).
    QString currentTable() const { return m_current; }
    qint64 rows() const { return m_rows; }
    // The tool's own line at the top of its SQL ("MariaDB dump 10.19 Distrib
    // 10.11.19-MariaDB, for ..."), empty when it wrote none.
    QString tool() const { return m_tool; }

private:
    // Outside an INSERT's rows the text is read a line at a time; inside,
    // byte by byte: between rows, in a row, in a quoted value, after a
    // backslash in one.
    enum class State { Lines, Between, Row, Quoted, Escaped };
    void line(const char *begin, const char *end);
    const char *values(const char *p, const char *e);
    State m_state = State::Lines;
    bool m_skipLine = false; // after an INSERT's end, up to the line break
    QByteArray m_pending;
    std::map<QString, TableSum> m_tables;
    TableSum *m_table = nullptr;
    quint64 m_hash = 0;
    quint64 m_word = 0; // the row's bytes not mixed in yet
    int m_wordBytes = 0;
    QString m_current;
    QString m_tool;
    qint64 m_rows = 0;
};

// Compares two sets of table sums; one line per difference ("singlestone:
// 10000 rows, checksum ... in the backup; 9999 rows, checksum ... restored").
QStringList compareSums(const QList<TableSum> &backup, const QList<TableSum> &restored);

struct Header {
    QString program;        // "Velmor 1.0.308"
    double schemaVersion = 0;
    QDateTime made;         // local time with its offset
    QString kind;           // "manual", "daily", "before-restore"
    QString database;       // the database's name
    QString source;         // where it was (a description)
    QString server;         // the server's version
    QString tool;           // the dump tool's version line
    QList<TableSum> tables;
    qint64 bodyBytes = 0;     // the compressed dump (second member)
    qint64 bodyTextBytes = 0; // the SQL text
    QByteArray bodySha256;    // hex, of the compressed bytes

    QByteArray text() const;
    // False with the reason when the text is not a header of ours.
    static bool parse(const QByteArray &text, Header *out, QString *why);
};

// How a file is compressed: zstd (.sql.zst, what backups are made in) or
// gzip (.sql.gz, the older files, and a name given that ends in .gz).
enum class Packing { Zstd, Gzip };
Packing packingFor(const QString &file);
// The ending of the files backups are made in (".sql.zst").
QString backupSuffix();
// Every ending a backup's file may have.
QStringList backupSuffixes();

// The space reserved for the header of a database with this many tables
// (and some room for tables made while the dump runs).
int headerReserve(int tables);

// Writes FILE.part: the reserved header, then the dump compressed as it
// arrives; finish() writes the header into its place, syncs and renames.
// The pieces are compressed and written on a thread of the writer's own, so
// that whoever feeds it goes back to reading at once.
class Writer {
public:
    Writer();
    ~Writer(); // abandons an unfinished file
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Called with every piece, in order, before it is compressed (the
    // rows' checksums are taken there): on one of the writer's threads, or
    // at the end on the thread that writes; never on two at once.
    using Inspect = std::function<void(const char *data, qsizetype size)>;

    // False with error() when FILE.part cannot be made (or another backup
    // is writing it).  Compressed as packingFor(file) says.
    bool open(const QString &file, int headerReserve, Inspect inspect = {});
    bool write(const char *data, qsizetype size);
    bool write(QByteArray piece); // without a copy
    // Sees every piece written inspected and compressed (working off what
    // still waits on this thread); false with error() (and FILE.part gone)
    // when writing failed.
    bool drain();
    // Completes the header's body fields, writes it, syncs, renames.
    bool finish(Header &header);
    // Removes FILE.part.
    void abandon();
    QString error() const { return m_error; }
    qint64 textBytes() const { return m_textBytes; }
    QString partName() const;

private:
    struct State;
    bool fail(const QString &what);
    bool failed(); // fails with the reason the writing thread found
    std::unique_ptr<State> m_s;
    QString m_file;
    QString m_error;
    qint64 m_textBytes = 0;
};

// What a look at a file found.
struct Check {
    bool ok = false;
    QString problem;       // why it cannot be used (empty when ok)
    Header header;         // when the header read
    bool headerRead = false;
    Packing packing = Packing::Zstd;
    qint64 headerBytes = 0; // the first member's size: where the dump starts
    qint64 fileBytes = 0;
};

// Reads the header and compares the size; `full` also checks the dump's
// SHA-256.  Never changes the file.
Check checkFile(const QString &file, bool full);

// Streams the dump's SQL text out of a checked file.
class BodyReader {
public:
    BodyReader();
    ~BodyReader();
    bool open(const QString &file, const Check &check);
    // Up to `max` bytes of SQL; 0 at the end; -1 on damage (error()).
    qsizetype read(char *out, qsizetype max);
    QString error() const { return m_error; }
    qint64 textRead() const { return m_textRead; }

private:
    struct State;
    std::unique_ptr<State> m_s;
    QString m_error;
    qint64 m_textRead = 0;
};

} // namespace velmor::db::backup
