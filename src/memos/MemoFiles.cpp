#include "memos/MemoFiles.h"

#include "core/Workstation.h"

#include <QStringList>

namespace velmor::memos {

namespace {
const QString kDiscount = QStringLiteral("lastmemorapdiscountgiven.ini");
const QString kBoxes = QStringLiteral("frmMemoAddNewDiamondToItCHECKBOXES.txt");
const QString kPrinter = QStringLiteral("lastprinterformemosheet.ini");
const QString kSetup = QStringLiteral("memosheetsetup.txt");

QString word(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }
} // namespace

QString MemoFiles::lastDiscount() const { return m_ws.readFirstLine(kDiscount); }
void MemoFiles::setLastDiscount(const QString &discount) const { m_ws.writeLines(kDiscount, {discount}); }

void MemoFiles::currencies(bool *cdn, bool *zar) const
{
    const QStringList l = m_ws.readLines(kBoxes);
    *cdn = l.size() > 0 && l[0].trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    *zar = l.size() > 1 && l[1].trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void MemoFiles::setCurrencies(bool cdn, bool zar) const { m_ws.writeLines(kBoxes, {word(cdn), word(zar)}); }

QString MemoFiles::printer() const { return m_ws.readFirstLine(kPrinter, QStringLiteral("use Default Printer")); }
void MemoFiles::setPrinter(const QString &name) const { m_ws.writeLines(kPrinter, {name}); }

MemoPrintOptions MemoFiles::printOptions() const
{
    const QStringList l = m_ws.readLines(kSetup);
    auto on = [&](int i) { return l.size() > i && l[i].trimmed() != QLatin1String("false"); };
    MemoPrintOptions o;
    o.usDollar = l.isEmpty() || on(0);
    o.roundUp = on(1);
    o.printRap = on(2);
    o.pictures = l.size() > 3 && l[3].trimmed() == QLatin1String("true"); // written by this program only
    return o;
}

bool MemoFiles::setPrintOptions(const MemoPrintOptions &o) const
{
    return m_ws.writeLines(kSetup, {word(o.usDollar), word(o.roundUp), word(o.printRap), word(o.pictures)});
}

} // namespace velmor::memos
