#include "online/Listing.h"

#include "core/Workstation.h"
#include "db/Sql.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace velmor::online {

ListingSettings ListingSettings::fromWorkstation(const Workstation &ws)
{
    ListingSettings s;
    const QStringList lines = ws.readLines(fileName());
    if (lines.isEmpty())
        return s;
    // A file that cannot be understood is refused at the connection, naming
    // the file and the line, as database.ini is.
    s.connection = db::ConnectionSettings::fromLines(lines, ws.path(fileName()), QDir(ws.folder()),
                                                     {QStringLiteral("vendor")});
    s.connection.mode = db::Mode::Server;
    for (const QString &line : lines) {
        const QString t = line.trimmed();
        const int eq = t.indexOf(QLatin1Char('='));
        if (eq > 0 && t.left(eq).trimmed().compare(QLatin1String("vendor"), Qt::CaseInsensitive) == 0)
            s.vendor = t.mid(eq + 1).trimmed();
    }
    return s;
}

void createListingTable(const QSqlDatabase &listingDb)
{
    QSqlQuery q(listingDb);
    if (!q.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS Stones ("
            " id INT AUTO_INCREMENT PRIMARY KEY,"
            " velmorstoneid INT NOT NULL, vendorid VARCHAR(20) NOT NULL,"
            " sku VARCHAR(50), shape VARCHAR(50), weight DECIMAL(10,3),"
            " colour VARCHAR(50), clarity VARCHAR(50), cut VARCHAR(50), polish VARCHAR(50),"
            " symmetry VARCHAR(50), fluorescence VARCHAR(50), lab VARCHAR(50),"
            " certificate VARCHAR(50), price_per_carat DECIMAL(19,2), total_price DECIMAL(19,2),"
            " off_rap DECIMAL(10,2), stone_is_on_memo TINYINT(1) NOT NULL DEFAULT 0,"
            " updated_at DATETIME,"
            " UNIQUE KEY stone_vendor (velmorstoneid, vendorid))")))
        throw db::DbError(QStringLiteral("The listing table could not be made: %1")
                              .arg(q.lastError().text()));
}

namespace {
QAtomicInt connectionCounter;
}

Listing::Listing(ListingSettings settings)
    : m_settings(std::move(settings))
    , m_connName(QStringLiteral("velmor-listing-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

Listing::Listing(const Workstation &ws)
    : Listing(ListingSettings::fromWorkstation(ws))
{
}

Listing::~Listing()
{
    if (m_opened) {
        { QSqlDatabase::database(m_connName, false).close(); }
        QSqlDatabase::removeDatabase(m_connName);
    }
}

bool Listing::open()
{
    if (!configured() || !m_failure.isEmpty())
        return false;
    if (m_opened)
        return true;
    try {
        db::openConnection(m_settings.connection, m_connName);
        m_opened = true;
        return true;
    } catch (const db::DbError &e) {
        if (QSqlDatabase::contains(m_connName))
            QSqlDatabase::removeDatabase(m_connName);
        m_failure = QStringLiteral("The online listing could not be reached; its rows were not "
                                   "brought up to date.\n%1")
                        .arg(e.message());
        return false;
    }
}

bool Listing::update(const QSqlDatabase &velmorDb, int stoneId)
{
    if (!configured() || !m_failure.isEmpty())
        return false;
    QSqlQuery s(velmorDb);
    s.prepare(QStringLiteral(
        "SELECT s.SKU, s.Shape, s.Carat, co.Wording, cl.Wording, s.Cut, s.FinishPolish,"
        " s.FinishSymetry, s.Flourescence, s.Laboratory, s.Certificate, s.SellPriceUS,"
        " s.SellOffRap, s.PublishPriceOnLustrabay, s.DontPublishOnLustrabay, s.Status,"
        " CASE WHEN s.Carat>0 THEN ROUND(s.SellPriceUS/s.Carat,2) END"
        " FROM SingleStone s"
        " LEFT JOIN DiamondGrades co ON co.Number=s.Colour AND co.Colour<>0 AND co.Clarity=0"
        " LEFT JOIN DiamondGrades cl ON cl.Number=s.Clarity AND cl.Colour=0 AND cl.Clarity<>0"
        " WHERE s.ID=?"));
    s.addBindValue(stoneId);
    if (!s.exec() || !s.next())
        return false;
    if (s.value(14).toInt() != 0) // kept out of the listing
        return false;
    if (!open())
        return false;
    const bool showPrice = s.value(13).toInt() != 0;
    QSqlQuery u(QSqlDatabase::database(m_connName, false));
    u.prepare(QStringLiteral(
        "UPDATE Stones SET sku=?, shape=?, weight=?, colour=?, clarity=?, cut=?, polish=?,"
        " symmetry=?, fluorescence=?, lab=?, certificate=?, price_per_carat=?, total_price=?,"
        " off_rap=?, stone_is_on_memo=?, updated_at=? WHERE velmorstoneid=? AND vendorid=?"));
    const QVariant nullDecimal(QMetaType(QMetaType::QString));
    const QString total = s.value(11).toString();
    const QString perCarat = s.value(16).toString();
    for (int i = 0; i < 11; ++i)
        u.addBindValue(s.value(i).isNull() ? QVariant(QMetaType(QMetaType::QString)) : s.value(i));
    u.addBindValue(showPrice && !perCarat.isEmpty() ? QVariant(perCarat) : nullDecimal);
    u.addBindValue(showPrice && !total.isEmpty() ? QVariant(total) : nullDecimal);
    u.addBindValue(showPrice && !s.value(12).isNull() ? s.value(12) : nullDecimal);
    u.addBindValue(s.value(15).toString() == QLatin1String("Memo") ? 1 : 0);
    u.addBindValue(QDateTime::currentDateTime());
    u.addBindValue(stoneId);
    u.addBindValue(m_settings.vendor);
    if (!u.exec()) {
        m_failure = QStringLiteral("The online listing could not be brought up to date.\n%1")
                        .arg(u.lastError().text());
        return false;
    }
    return u.numRowsAffected() > 0;
}

bool Listing::remove(int stoneId)
{
    if (!open())
        return false;
    QSqlQuery d(QSqlDatabase::database(m_connName, false));
    d.prepare(QStringLiteral("DELETE FROM Stones WHERE velmorstoneid=? AND vendorid=?"));
    d.addBindValue(stoneId);
    d.addBindValue(m_settings.vendor);
    if (!d.exec()) {
        m_failure = QStringLiteral("The stone could not be taken off the online listing.\n%1")
                        .arg(d.lastError().text());
        return false;
    }
    return d.numRowsAffected() > 0;
}

} // namespace velmor::online
