#pragma once
// Sales representatives (Rep): load, save (NULL for an empty field, only the
// fields the user changed on an edit) and the city and province lists.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QList>
#include <QVariantMap>

namespace velmor {
class AppContext;
}

namespace velmor::customers {

// The columns of Rep in the order of the screen.
const QStringList &repColumns();

using RepForm = QVariantMap; // column -> text ("" for Null)

// Empty form (and found false) when there is no such rep.
RepForm loadRep(const QSqlDatabase &db, qint64 id, bool *found = nullptr);

struct RepSaveResult {
    bool ok = false;
    qint64 id = 0; // the new rep's own ID when adding
    QString error;
    QString refusal; // a field its column cannot hold, named ("The Phone 1 is too long: ..."); nothing written
};
// cmdUpdate: adds a rep when `id` is 0, else writes the changed fields.
RepSaveResult saveRep(const QSqlDatabase &db, qint64 id, const RepForm &loaded, const RepForm &form);

// One line of the rep list.
struct RepListRow {
    qint64 id = 0;
    QString companyName, firstName, lastName, city, province, phone1;
};
// The reps found by the words of `text`, with the customer search's word
// rules: every word is found in the company, first or last name, the street
// or a phone number, or is the beginning of the city; each word matches
// itself literally.  No words: every rep.  Ordered by company name.
QList<RepListRow> searchReps(const QSqlDatabase &db, const QString &text);

// The lists of cboCity and cboProvince: the distinct values of the reps.
QStringList repCities(const QSqlDatabase &db);
QStringList repProvinces(const QSqlDatabase &db);

} // namespace velmor::customers
