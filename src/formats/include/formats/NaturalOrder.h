#pragma once

#include <QLocale>
#include <QStringList>
#include <QVector>

// Natural file-name order: locale-aware, digit runs compared by value, case-sensitive.
namespace NaturalOrder {

// The locale the collator is built on: the user's, unless that is C/POSIX, whose
// collator ignores numeric mode (img10 would sort before img2); then English.
QLocale collationLocale();

// Sorts names in natural order. Names the collator finds equal (img01 / img1) are
// ordered by code point, so the result never depends on the input order.
void sort(QStringList &names);

// The same order as positions: the index in names of the first name, the second...
QVector<int> order(const QStringList &names);

// The same order for one pair: negative when a comes first, 0 only for equal names.
// For placing a single name in an ordered list; a whole list sorts faster with sort().
int compare(const QString &a, const QString &b);

} // namespace NaturalOrder
