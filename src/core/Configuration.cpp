#include "core/Configuration.h"

#include "core/AppContext.h"
#include "core/KnownRates.h"
#include "core/SettingsFields.h"
#include "db/Row.h"
#include "db/Schema.h"
#include "db/Sql.h"
#include "db/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QSqlRecord>

namespace velmor {

namespace {

QSqlRecord firstRow(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM %1 ORDER BY ID LIMIT 1").arg(table));
    if (q.next())
        return q.record();
    return {};
}

// The columns a table really has, by lower-case name -> its own spelling.
std::map<QString, QString> columnsOf(const QSqlDatabase &db, const QString &table)
{
    std::map<QString, QString> cols;
    QSqlQuery q = db::exec(db, QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(table));
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        cols[rec.fieldName(i).toLower()] = rec.fieldName(i);
    return cols;
}

bool fileSaysTrue(const Workstation &ws, const QString &file)
{
    return ws.readFirstLine(file).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

void ensureConfigRow(const QSqlDatabase &db)
{
    if (db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Config")).toLongLong() > 0)
        return;
    db::schema::insertDefaultConfigRow(db);
}

void readLabelOptions(const Workstation &ws, Settings &s)
{
    s.labelQuill = fileSaysTrue(ws, QStringLiteral("chklabelquill.txt"));
    s.printDiamondComment = fileSaysTrue(ws, QStringLiteral("printDIAMONDcomment.txt"));
}

void GetConfigurationModule(AppContext &ctx)
{
    const QSqlDatabase db = ctx.db();
    const Workstation &ws = ctx.workstation;
    Settings s = ctx.settings;

    // 1. Metal colour names of the first Colours row.
    if (db::tableExists(db, QStringLiteral("Colours"))) {
        const db::Row colours(firstRow(db, QStringLiteral("Colours")));
        for (int i = 0; i < 20; ++i)
            s.Colour[i] = colours.text(QStringLiteral("Colour%1").arg(i + 1));
    }

    // 2.-3. The Config row, made when the table is empty, loaded field by field.
    ensureConfigRow(db);
    const db::Row config(firstRow(db, QStringLiteral("Config")));
    for (const SettingsField &f : settingsFields())
        f.assign(s, config.raw(f.column));

    // 4. The stone screen always names the local currency CDN.
    s.localCurrencyName = QStringLiteral("CDN");

    // 5. The scanning table of the stations.
    s.scanningTable = s.serialscanning ? QStringLiteral("track") : QStringLiteral("trackpar");

    // 6. Label printer and scanner ports.
    ws.checkpoint(QStringLiteral("q3nh35h3h5"));
    if (ws.exists(QStringLiteral("labelprinter.ini"))) {
        const QStringList lines = ws.readLines(QStringLiteral("labelprinter.ini"));
        auto line = [&](int i) { return i < lines.size() ? lines.at(i).trimmed() : QString(); };
        s.labelPrinterPort = line(0);
        s.labelLeftOffset = db::leadingNumber(line(1));
        s.labelRightOffset = db::leadingNumber(line(2));
        s.scannerPort = line(3);
    }

    // 7. The shared folder.
    ws.checkpoint(QStringLiteral("35u35h35"));
    QString shared = ws.readFirstLine(QStringLiteral("server.ini")).trimmed();
    if (shared.isEmpty())
        shared = ws.folder();
    s.sharedFolder = shared;

    // 8. The company logo.
    const QString logo = QDir(shared).filePath(QStringLiteral("logo.jpg"));
    s.logoPath = QFileInfo::exists(logo) ? logo : QString();

    readLabelOptions(ws, s);
    // The last good rand rate, kept by the day's fetch.
    const double storedRand = db::numOf(config.raw(QStringLiteral("ExchangeRateZAR")));

    ctx.settings = s;
    // Without the day's rates the last good ones stored are the working
    // rates; a rate fetched or typed today stays.
    if (!rateKnown(ctx.exchangeRateCDN) && s.ExchangeRate > 0)
        ctx.exchangeRateCDN = s.ExchangeRate;
    if (!rateKnown(ctx.exchangeRateZAR) && storedRand > 0)
        ctx.exchangeRateZAR = storedRand;
    ctx.WholeSaleMode = s.VelmorWholeSale;
    ctx.DiamondMode = !s.VelmorWholeSale;
}

void GetPrintersModule(AppContext &ctx)
{
    Settings &s = ctx.settings;
    s.defaultPrinter = QPrinterInfo::defaultPrinterName();
    const Workstation &ws = ctx.workstation;
    const QString file = ws.programPath(QStringLiteral("printers.ini"));
    if (!QFileInfo::exists(file))
        return;
    const QStringList lines = ws.readLines(file);
    for (int i = 0; i < 5 && i < lines.size(); ++i)
        s.printers[i] = lines.at(i).trimmed();
}

void saveConfiguration(AppContext &ctx, const ConfigurationEdits &edits)
{
    const QSqlDatabase db = ctx.db();
    {
        db::Transaction tx(db);

        // Colours: the first row, made with Colour1 "COLOUR" when there is none.
        QStringList sets;
        QVariantList binds;
        for (int i = 0; i < 20; ++i) {
            if (!edits.writeColour[i])
                continue;
            sets << QStringLiteral("Colour%1 = ?").arg(i + 1);
            binds << edits.colours[i];
        }
        if (!sets.isEmpty()) {
            if (db::scalar(db, QStringLiteral("SELECT COUNT(*) FROM Colours")).toLongLong() == 0)
                db::exec(db, QStringLiteral("INSERT INTO Colours (Colour1) VALUES (?)"), {QStringLiteral("COLOUR")});
            binds << db::scalar(db, QStringLiteral("SELECT ID FROM Colours ORDER BY ID LIMIT 1"));
            db::exec(db, QStringLiteral("UPDATE Colours SET %1 WHERE ID = ?").arg(sets.join(QStringLiteral(", "))),
                     binds);
        }

        // Config: every edited column the table has, and the three computed ones.
        ensureConfigRow(db);
        const db::Row current(firstRow(db, QStringLiteral("Config")));
        const std::map<QString, QString> columns = columnsOf(db, QStringLiteral("Config"));
        std::map<QString, QVariant> values = edits.values;
        if (edits.writeRound)
            values[QStringLiteral("PriceRound")] = edits.round5 ? 5.0 : 1.0;
        if (edits.writeTemplate)
            values[QStringLiteral("InvoiceTemplate")] = edits.invoiceBH ? QStringLiteral("BH") : QStringLiteral("DEFAULT");
        values[QStringLiteral("CompanyLogo")] = current.text(QStringLiteral("CompanyLogo")) == QLatin1String("LOGO")
            ? QStringLiteral("LOGO1")
            : QStringLiteral("LOGO");
        sets.clear();
        binds.clear();
        for (const auto &[column, value] : values) {
            const auto it = columns.find(column.toLower());
            if (it == columns.end() || it->first == QLatin1String("id"))
                continue;
            sets << QStringLiteral("`%1` = ?").arg(it->second);
            if (value.typeId() == QMetaType::Bool)
                binds << db::flagValue(value.toBool());
            else
                binds << value;
        }
        binds << current.raw(QStringLiteral("ID"));
        db::exec(db, QStringLiteral("UPDATE Config SET %1 WHERE ID = ?").arg(sets.join(QStringLiteral(", "))),
                 binds);
        tx.commit();
    }
    GetConfigurationModule(ctx);
}

void writeLabelOptions(AppContext &ctx, bool labelQuill, bool printDiamondComment)
{
    auto word = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    ctx.workstation.writeLines(QStringLiteral("chklabelquill.txt"), {word(labelQuill)});
    ctx.workstation.writeLines(QStringLiteral("printDIAMONDcomment.txt"), {word(printDiamondComment)});
    ctx.settings.labelQuill = labelQuill;
    ctx.settings.printDiamondComment = printDiamondComment;
}

} // namespace velmor
