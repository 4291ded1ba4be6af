#include "printing/PrinterSetup.h"

#include "core/AppContext.h"
#include "core/Figures.h"
#include "core/Configuration.h"
#include "core/Users.h"
#include "db/Row.h"
#include "db/Sql.h"
#include "db/Transaction.h"
#include "printing/PrintJob.h"

#include <QFileInfo>

namespace velmor::printing {

namespace {

QString number(double v) { return QString::number(v, 'g', 15); }

} // namespace

LabelPrinterSetup currentLabelPrinterSetup(const AppContext &ctx)
{
    const Settings &s = ctx.settings;
    LabelPrinterSetup l;
    l.port = s.labelPrinterPort.isEmpty() ? QStringLiteral("0") : s.labelPrinterPort;
    l.leftOffset = number(s.labelLeftOffset);
    l.rightOffset = number(s.labelRightOffset);
    l.scannerPort = s.scannerPort.isEmpty() ? QStringLiteral("0") : s.scannerPort;
    l.defaultMarkup = number(s.DefaultMarkup);
    return l;
}

QString portValue(const QString &field)
{
    const QString t = field.trimmed();
    if (t.isEmpty() || t.front().isDigit() || t.front() == QLatin1Char('-') || t.front() == QLatin1Char('.'))
        return number(db::leadingNumber(t));
    return t;
}

SetupSave saveLabelPrinterSetup(AppContext &ctx, const LabelPrinterSetup &loaded, const LabelPrinterSetup &edited,
                                QString *error)
{
    if (!checkRight(ctx, QStringLiteral("Administrator")))
        return SetupSave::Refused;
    const QString file = QStringLiteral("labelprinter.ini");
    const bool fileChanged = !ctx.workstation.exists(file) || edited.port != loaded.port
        || edited.leftOffset != loaded.leftOffset || edited.rightOffset != loaded.rightOffset
        || edited.scannerPort != loaded.scannerPort;
    const bool markupChanged = edited.defaultMarkup != loaded.defaultMarkup;
    if (!fileChanged && !markupChanged)
        return SetupSave::Unchanged;
    // The figures first: one that is not a figure or is too large is
    // refused, naming the field, and nothing is written.
    const std::pair<QString, QString> figureFields[] = {{QStringLiteral("Left offset"), edited.leftOffset},
                                                        {QStringLiteral("Right offset"), edited.rightOffset}};
    for (const auto &[name, text] : figureFields) {
        const figures::Reading r = figures::read(text, {name, figures::Column{19, 5}});
        if (!r.ok()) {
            if (error)
                *error = r.error;
            return SetupSave::Failed;
        }
    }
    if (markupChanged) {
        figures::Column column;
        try {
            column = figures::columnOf(ctx.db(), QStringLiteral("Config"), QStringLiteral("DefaultMarkup"));
        } catch (const db::DbError &) {
        }
        const figures::Reading r = figures::read(edited.defaultMarkup, {QStringLiteral("Default markup"), column});
        if (!r.ok()) {
            if (error)
                *error = r.error;
            return SetupSave::Failed;
        }
    }

    if (markupChanged) {
        try {
            const QSqlDatabase db = ctx.db();
            db::Transaction tx(db);
            ensureConfigRow(db);
            const QVariant id = db::scalar(db, QStringLiteral("SELECT ID FROM Config ORDER BY ID LIMIT 1"));
            db::exec(db, QStringLiteral("UPDATE Config SET DefaultMarkup = ? WHERE ID = ?"),
                     {figures::parseTyped(edited.defaultMarkup).value_or(Decimal5()).toDouble(), id});
            tx.commit();
        } catch (const db::DbError &) {
            if (error)
                *error = QStringLiteral("The default markup could not be saved.");
            return SetupSave::Failed;
        }
    }
    if (fileChanged) {
        auto figure = [](const QString &t) { return number(figures::parseTyped(t).value_or(Decimal5()).toDouble()); };
        const QStringList lines{portValue(edited.port), figure(edited.leftOffset), figure(edited.rightOffset),
                                portValue(edited.scannerPort)};
        if (!ctx.workstation.writeLines(file, lines)) {
            if (error)
                *error = QStringLiteral("The file %1 could not be written.").arg(ctx.workstation.path(file));
            GetConfigurationModule(ctx);
            return SetupSave::Failed;
        }
    }
    GetConfigurationModule(ctx);
    return SetupSave::Saved;
}

QStringList documentPrinterChoices()
{
    QStringList l{kDefaultDocumentPrinter};
    l << installedPrinters();
    return l;
}

DocumentPrinters currentDocumentPrinters(const AppContext &ctx)
{
    DocumentPrinters p;
    for (int i = 0; i < kDocumentPrinters; ++i)
        p[i] = ctx.settings.printers[i].isEmpty() ? kDefaultDocumentPrinter : ctx.settings.printers[i];
    return p;
}

SetupSave saveDocumentPrinters(AppContext &ctx, const DocumentPrinters &loaded, const DocumentPrinters &edited,
                               QString *error)
{
    if (!checkRight(ctx, QStringLiteral("Administrator")))
        return SetupSave::Refused;
    const QString file = ctx.workstation.programPath(QStringLiteral("printers.ini"));
    if (QFileInfo::exists(file) && loaded == edited)
        return SetupSave::Unchanged;
    if (!ctx.workstation.writeLines(file, QStringList(edited.begin(), edited.end()))) {
        if (error)
            *error = QStringLiteral("The file %1 could not be written.").arg(file);
        return SetupSave::Failed;
    }
    GetPrintersModule(ctx);
    return SetupSave::Saved;
}

} // namespace velmor::printing
