#pragma once
// Grade numbers and their wording.  Colour and clarity grades are small
// integers, the smaller the better; numbers ending in 5 are split grades
// written with a slash.  The fixed scales convert a number to its text; the
// DiamondGrades table gives the wording the screens and printouts show.
#include "db/GradeScales.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace velmor::pricing {

// Grade number as text in, grade text out; a number not on the scale leaves
// `out` unchanged.
void ConvertColourCodeModule(const QString &number, QString &out);
void ConvertClarityCodeModule(const QString &number, QString &out);
// The same as values: empty when the number is not on the scale.
QString colourCodeText(int number);
QString clarityCodeText(int number);
// The reverse: the number of a grade text ("G/H" -> 45), 0 when unknown.
int colourNumberOf(const QString &text);
int clarityNumberOf(const QString &text);

// Both scales, in number order.
using db::GradeScaleEntry;
using db::colourScale;
using db::clarityScale;

// Wording of a grade number from DiamondGrades (first row); empty when the
// table has no such grade.
QString GetDiamondGradeColourModule(const QSqlDatabase &db, int number);
QString GetDiamondGradeClarityModule(const QSqlDatabase &db, int number);

enum class GradeKind { Colour, Clarity };

// The entries of a grade combo: an empty entry first, then "number - wording"
// for each DiamondGrades row of that kind in number order; with dontUseSplits
// the rows whose number ends in 5 are left out.
QStringList gradeComboEntries(const QSqlDatabase &db, GradeKind kind, bool dontUseSplits);
// "20 - VVS1" gives "VVS1" (the text after the first "-" and the blank that
// follows it) and 20 (the numeric value of the entry's start).
QString gradeTextOfEntry(const QString &entry);
int gradeNumberOfEntry(const QString &entry);

} // namespace velmor::pricing
