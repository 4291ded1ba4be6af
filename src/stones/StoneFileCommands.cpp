// `velmor stones files|attach|detach|export-files`: a stone's pictures, videos
// and certificates from the command line, through the same operations as
// the stone screen's "Pictures and files" tab.
#include "core/AppContext.h"
#include "core/CliLogin.h"
#include "db/Sql.h"
#include "stones/StoneCommands.h"
#include "stones/StoneFiles.h"
#include "stones/StoneSearch.h"

#include <QDir>
#include <QLocale>

namespace velmor {

namespace {

// A stone by its ID (a number that is a stone's ID) or else its SKU; a SKU
// that several stones carry is refused with their IDs.
qint64 stoneOf(const QSqlDatabase &db, const QString &typed, QString *why)
{
    const QString t = typed.trimmed();
    bool isNumber = false;
    const qint64 n = t.toLongLong(&isNumber);
    if (isNumber && n > 0) {
        const qint64 id = db::scalar(db, QStringLiteral("SELECT ID FROM SingleStone WHERE ID = ?"), {n}).toLongLong();
        if (id)
            return id;
    }
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID FROM SingleStone WHERE SKU = ? ORDER BY ID"), {t});
    QList<qint64> ids;
    while (q.next())
        ids << q.value(0).toLongLong();
    if (ids.isEmpty()) {
        *why = QStringLiteral("there is no stone with the ID or SKU# \"%1\"").arg(t);
        return 0;
    }
    if (ids.size() > 1) {
        QStringList s;
        for (qint64 id : ids)
            s << QString::number(id);
        *why = QStringLiteral("SKU# \"%1\" is carried by stones %2: give the stone's ID").arg(t, s.join(QStringLiteral(", ")));
        return 0;
    }
    return ids.first();
}

struct Opened {
    Workstation ws;
    AppContext ctx{ws, ws.connectionSettings()};
};

int runFiles(const QStringList &args, CliIo &io)
{
    if (args.size() != 1) {
        io.err << "velmor: give one stone: velmor stones files SKU|ID" << Qt::endl;
        return 2;
    }
    Opened o;
    if (!openCliContext(o.ctx, io))
        return 2;
    try {
        QString why;
        const qint64 stone = stoneOf(o.ctx.db(), args.first(), &why);
        if (!stone) {
            io.err << "velmor: " << why << Qt::endl;
            return 1;
        }
        const QList<stones::StoneFile> files = stones::stoneFiles(o.ctx.db(), stone);
        qint64 total = 0;
        for (const stones::StoneFile &f : files) {
            QStringList marks;
            if (f.main)
                marks << QStringLiteral("main picture");
            if (f.certificate)
                marks << (f.laboratory.isEmpty() ? QStringLiteral("certificate")
                                                 : QStringLiteral("certificate ") + f.laboratory);
            io.out << f.id << '\t' << f.kind << '\t' << stones::sizeText(f.size) << '\t' << f.name << '\t'
                   << marks.join(QStringLiteral(", ")) << '\t' << f.addedByName << '\t'
                   << f.addedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")) << '\t' << f.sha256 << '\n';
            total += f.size;
        }
        io.out << "Stone " << stone << ": " << files.size() << (files.size() == 1 ? " file, " : " files, ")
               << stones::sizeText(total) << Qt::endl;
    } catch (const db::DbError &e) {
        io.err << "velmor: the files could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    return 0;
}

int runAttach(const QStringList &given, CliIo &io)
{
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    stones::AttachOptions opt;
    QStringList files;
    QString stoneText;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args.at(i);
        if (a == QLatin1String("--main"))
            opt.main = true;
        else if (a == QLatin1String("--certificate"))
            opt.certificate = true;
        else if (a == QLatin1String("--lab") && i + 1 < args.size())
            opt.laboratory = args.at(++i);
        else if (a.startsWith(QLatin1String("--"))) {
            io.err << "velmor: unknown option " << a << Qt::endl;
            return 2;
        } else if (stoneText.isEmpty())
            stoneText = a;
        else
            files << a;
    }
    if (stoneText.isEmpty() || files.isEmpty()) {
        io.err << "velmor: velmor stones attach SKU|ID FILE... [--main] [--certificate [--lab LAB]] --user NAME"
               << Qt::endl;
        return 2;
    }
    Opened o;
    if (!openCliContext(o.ctx, io, true) || !loginForCommand(o.ctx, user, io))
        return 2;
    opt.sizeLimit = stones::fileSizeLimit(o.ctx.settings);
    QString why;
    qint64 stone = 0;
    try {
        stone = stoneOf(o.ctx.db(), stoneText, &why);
    } catch (const db::DbError &e) {
        why = e.message();
    }
    if (!stone) {
        io.err << "velmor: " << why << Qt::endl;
        return 1;
    }
    int refused = 0;
    for (const QString &f : std::as_const(files)) {
        const stones::AttachResult r = stones::attachFile(o.ctx.db(), o.ctx.user, stone, f, opt);
        if (r.ok)
            io.out << (r.already ? "kept once: " : "attached: ") << r.message << " (file " << r.fileId << ")"
                   << Qt::endl;
        else {
            io.err << "velmor: " << r.message << Qt::endl;
            ++refused;
        }
    }
    return refused ? 1 : 0;
}

int runDetach(const QStringList &given, CliIo &io)
{
    QStringList args = given;
    QString user;
    if (!takeUserOption(args, &user, io))
        return 2;
    bool ok = false;
    const qint64 fileId = args.size() == 2 ? args.at(1).toLongLong(&ok) : 0;
    if (!ok || fileId <= 0) {
        io.err << "velmor: velmor stones detach SKU|ID FILE_ID --user NAME" << Qt::endl;
        return 2;
    }
    Opened o;
    if (!openCliContext(o.ctx, io) || !loginForCommand(o.ctx, user, io))
        return 2;
    QString why;
    qint64 stone = 0;
    try {
        stone = stoneOf(o.ctx.db(), args.first(), &why);
    } catch (const db::DbError &e) {
        why = e.message();
    }
    if (!stone) {
        io.err << "velmor: " << why << Qt::endl;
        return 1;
    }
    const stones::FileChange c = stones::detachFile(o.ctx.db(), o.ctx.user, stone, fileId);
    if (!c.ok) {
        io.err << "velmor: " << c.message << Qt::endl;
        return 1;
    }
    io.out << "File " << fileId << " was removed from stone " << stone << Qt::endl;
    return 0;
}

int runExport(const QStringList &args, CliIo &io)
{
    const char usage[] = "velmor stones export-files (SKU|ID | --search FILTERS) FOLDER";
    stones::StoneSearchFilter f;
    bool search = false;
    QStringList plain;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--search")) {
            search = true;
            continue;
        }
        QString why;
        if (search && takeSearchFilter(args, i, f, &why))
            continue;
        if (!why.isEmpty() || args.at(i).startsWith(QLatin1String("--"))) {
            io.err << "velmor: " << (why.isEmpty() ? QStringLiteral("unexpected argument ") + args.at(i) : why) << "\n"
                   << usage << Qt::endl;
            return 2;
        }
        plain << args.at(i);
    }
    if (plain.size() != (search ? 1 : 2)) {
        io.err << "velmor: " << usage << Qt::endl;
        return 2;
    }
    const QString folder = plain.last();
    Opened o;
    if (!openCliContext(o.ctx, io))
        return 2;
    QList<qint64> ids;
    try {
        if (search) {
            for (const stones::SearchRow &r : stones::searchRows(o.ctx.db(), f, stones::SearchOrder()))
                ids << r.id;
        } else {
            QString why;
            const qint64 stone = stoneOf(o.ctx.db(), plain.first(), &why);
            if (!stone) {
                io.err << "velmor: " << why << Qt::endl;
                return 1;
            }
            ids << stone;
        }
    } catch (const db::DbError &e) {
        io.err << "velmor: the stones could not be read: " << e.message() << Qt::endl;
        return 2;
    }
    const stones::ExportReport rep = stones::exportStoneFiles(o.ctx.db(), ids, folder);
    for (const QString &p : rep.problems)
        io.err << "velmor: " << p << Qt::endl;
    io.out << "Wrote " << rep.files << (rep.files == 1 ? " file" : " files") << " of " << rep.stones
           << (rep.stones == 1 ? " stone" : " stones") << " (of " << ids.size() << " asked for) into "
           << QDir::toNativeSeparators(folder) << Qt::endl;
    return rep.problems.isEmpty() ? 0 : 1;
}

} // namespace

CliRegistry stoneFileCommands()
{
    CliRegistry r;
    r.append({{QStringLiteral("stones"), QStringLiteral("files")}, QStringLiteral("SKU|ID"),
              QStringLiteral("list a stone's pictures, videos and documents"), runFiles});
    r.append({{QStringLiteral("stones"), QStringLiteral("attach")},
              QStringLiteral("SKU|ID FILE... [--main] [--certificate [--lab LAB]] --user NAME"),
              QStringLiteral("attach pictures, videos or PDF documents to a stone"), runAttach});
    r.append({{QStringLiteral("stones"), QStringLiteral("detach")}, QStringLiteral("SKU|ID FILE_ID --user NAME"),
              QStringLiteral("remove a file from a stone"), runDetach});
    r.append({{QStringLiteral("stones"), QStringLiteral("export-files")},
              QStringLiteral("(SKU|ID | --search FILTERS) FOLDER"),
              QStringLiteral("write stones' files into FOLDER/<SKU>"), runExport});
    return r;
}

} // namespace velmor
