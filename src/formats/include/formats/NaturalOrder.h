#pragma once

#include <QLocale>
#include <QStringList>

// Natural file-name order: locale-aware, digit runs compared by value, case-sensitive.
namespace NaturalOrder {

// The locale the collator is built on: the user's, unless that is C/POSIX, whose
// collator ignores numeric mode (img10 would sort before img2); then English.
QLocale collationLocale();

// Sorts names in natural order. Names the collator finds equal (img01 / img1) are
// ordered by code point, so the result never depends on the input order.
void sort(QStringList &names);

} // namespace NaturalOrder
