#pragma once
// The small tables kept on the pricing set-up screens: quality classes (Qs),
// size ranges (DRange) and the word tables (shapewords, labwords).
#include "pricing/Shapes.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <array>

namespace velmor {
class AppContext;
}

namespace velmor::pricing {

struct QualityClass {
    qint64 id = 0; // 0 for a new class
    QString name;
    int colourA = 0, colourB = 0;   // the two colour ends in any order
    int clarityA = 0, clarityB = 0; // the two clarity ends in any order
};
// Saves a class: a new one is added first; the name is stored in capitals,
// the smaller grade number of each pair is the high end.  Rows left without
// a name are deleted.  Returns the class's ID.
qint64 saveQualityClass(const QSqlDatabase &db, const QualityClass &c);
// The grid of the quality-class screen: ID, class, and the four grades as text.
QList<QStringList> qualityClassGrid(const QSqlDatabase &db, bool orderByColour);
QualityClass loadQualityClass(const QSqlDatabase &db, qint64 id);

struct SizeRange {
    qint64 id = 0;
    QString name;
    double caratA = 0, caratB = 0; // either order
    double markup = 0;
};
qint64 saveSizeRange(const QSqlDatabase &db, const SizeRange &r);
// ID, class, carat low, carat high, markup; numbers as "0.0000".
QList<QStringList> sizeRangeGrid(const QSqlDatabase &db, bool orderByCaratLow);
SizeRange loadSizeRange(const QSqlDatabase &db, qint64 id);
// Each range's markup goes to the parcels of that range (DMarkup, CostMarkup,
// LastUpdated).  Returns the number of parcel rows updated.
int pushMarkupsToParcels(const QSqlDatabase &db, const QDateTime &now = QDateTime::currentDateTime());

struct WordRow {
    QString master;
    std::array<QString, 6> words;
};
QList<WordRow> loadWordTable(const QSqlDatabase &db, WordTable t);
// Row n of the list is stored with row = n (1-based), added when missing;
// masters of shapes are stored in capitals.
void saveWordTable(const QSqlDatabase &db, WordTable t, const QList<WordRow> &rows);
// The round-stone name in capitals into Config and the settings.
void saveRoundStoneName(AppContext &ctx, const QString &name);

} // namespace velmor::pricing
