// Printing: a stone paper into a PDF file, and the label printer's command
// streams of many stones.
#include "Scenarios.h"

#include "core/AppContext.h"
#include "db/Sql.h"
#include "printing/LabelPrinter.h"
#include "printing/PrintJob.h"
#include "stones/StonePrintout.h"

#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

namespace velmor::bench {

namespace {

QList<qint64> stonesInOrder(const QSqlDatabase &db, int count)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT ID FROM SingleStone ORDER BY ID LIMIT ?"), {count});
    QList<qint64> ids;
    while (q.next())
        ids << q.value(0).toLongLong();
    if (ids.isEmpty())
        throw db::DbError(QStringLiteral("There are no stones to print."));
    return ids;
}

} // namespace

void runPrintingScenarios(SizeEnv &env)
{
    BenchContext ctx(env);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("paper.pdf"));

    // Velmor: the stone's texts from the database and its card with the
    // barcode into a PDF file.  Floor: a PDF of one line of text (what any
    // document costs the PDF writer).
    const QString paper = QStringLiteral("stone paper to PDF (per paper)");
    if (env.bench.wants(paper)) {
        const QList<qint64> ids = stonesInOrder(env.workDb(), 10);
        env.bench.measure(
            paper, env.size,
            {Road{QStringLiteral("velmor"), {},
                  [&ctx, ids, pdf] {
                      for (qint64 id : ids) {
                          printing::DiamondPaper p;
                          if (!stones::stonePaper(*ctx, id, p))
                              throw db::DbError(QStringLiteral("Stone %1 did not load.").arg(id));
                          const printing::PrintOutcome out = printing::printDocument(
                              printing::PrintTarget::pdf(pdf), [&p](printing::PrintSurface &s, QString *error) {
                                  return stones::drawStonePaper(false, s, p, false, error);
                              });
                          if (!out.ok)
                              throw db::DbError(out.error);
                      }
                  },
                  false, int(ids.size())},
             Road{QStringLiteral("floor"), {},
                  [ids, pdf] {
                      for (int i = 0; i < ids.size(); ++i) {
                          const printing::PrintOutcome out = printing::printDocument(
                              printing::PrintTarget::pdf(pdf), [](printing::PrintSurface &s, QString *) {
                                  s.printLine(QStringLiteral("Velmor"));
                                  return true;
                              });
                          if (!out.ok)
                              throw db::DbError(out.error);
                      }
                  },
                  false, int(ids.size())}});
    }

    // Velmor: each stone's label texts from the database and its command
    // stream.  Floor: the same stones read row by row, nothing built.
    const QString labels = QStringLiteral("label streams (per label)");
    if (env.bench.wants(labels)) {
        const QList<qint64> ids = stonesInOrder(env.workDb(), 1000);
        env.bench.measure(
            labels, env.size,
            {Road{QStringLiteral("velmor"), {},
                  [&ctx, ids] {
                      qint64 bytes = 0;
                      for (qint64 id : ids) {
                          printing::LabelTexts t;
                          if (!stones::stoneLabel(*ctx, id, t))
                              throw db::DbError(QStringLiteral("Stone %1 did not load.").arg(id));
                          bytes += printing::dumbellStream(25, 230, t, true).size();
                      }
                      if (bytes == 0)
                          throw db::DbError(QStringLiteral("No label was built."));
                  },
                  false, int(ids.size())},
             Road{QStringLiteral("floor"), {},
                  [&env, ids] {
                      const QSqlDatabase db = env.workDb();
                      for (qint64 id : ids)
                          db::exec(db, QStringLiteral("SELECT * FROM SingleStone WHERE ID = ?"), {id}).next();
                  },
                  false, int(ids.size())}});
    }

    // The stream alone, from texts in memory.
    const QString streams = QStringLiteral("label stream build (per label)");
    if (env.bench.wants(streams)) {
        auto texts = std::make_shared<QList<printing::LabelTexts>>();
        for (qint64 id : stonesInOrder(env.workDb(), 1000)) {
            printing::LabelTexts t;
            stones::stoneLabel(*ctx, id, t);
            texts->append(t);
        }
        env.bench.measure(streams, env.size,
                          {Road{QStringLiteral("velmor"), {},
                                [texts] {
                                    qint64 bytes = 0;
                                    for (const printing::LabelTexts &t : *texts)
                                        bytes += printing::dumbellStream(25, 230, t, true).size();
                                    if (bytes == 0)
                                        throw db::DbError(QStringLiteral("No label was built."));
                                },
                                false, int(texts->size())}});
    }
}

} // namespace velmor::bench
