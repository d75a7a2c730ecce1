#pragma once

#include <QString>
#include <QVector>

// The orders a folder's pictures are shown in, and the rule that sorts them.
namespace FolderOrder {

enum class Key { Name, DateTaken, Modified, Size, Type };

struct Order
{
    Key key = Key::Name;
    bool descending = false;

    bool operator==(const Order &other) const { return key == other.key && descending == other.descending; }
    bool operator!=(const Order &other) const { return !(*this == other); }
};

// What sorting one picture takes. The facts the order does not use may stay unread.
struct Entry
{
    QString name;
    qint64 bytes = -1;
    qint64 modified = 0; // ms since the epoch
    qint64 taken = -1; // the camera's date (EXIF), ms since the epoch; -1 when it has none
};

// The order's key for an entry: what "date taken" means without a camera date is
// the modification time.
bool needsFileFacts(Key key);
bool needsTaken(Key key);

// Whether a comes before b: by the key, equal keys by natural name order (names are
// unique in a folder). Descending is the exact reverse. For placing one entry; a
// whole list sorts faster with sort().
bool before(const Entry &a, const Entry &b, Order order);

// A whole list by the same rule: the indices of entries in order.
QVector<int> sorted(const QVector<Entry> &entries, Order order);

// The order as settings store it ("taken-descending") and back; text not understood
// is the name order, ascending.
QString toText(Order order);
Order fromText(const QString &text);

} // namespace FolderOrder
