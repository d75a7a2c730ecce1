#include "viewer/FolderOrder.h"

#include "formats/NaturalOrder.h"

#include <QStringList>

#include <algorithm>

namespace FolderOrder {

namespace {

struct KeyName
{
    Key key;
    const char *text;
};

constexpr KeyName kKeyNames[] = {
    {Key::Name, "name"}, {Key::DateTaken, "taken"}, {Key::Modified, "modified"}, {Key::Size, "size"}, {Key::Type, "type"},
};

const char *const kDescending = "-descending";

qint64 takenOrModified(const Entry &entry)
{
    return entry.taken >= 0 ? entry.taken : entry.modified;
}

QString typeOf(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

// Compares by the key alone: negative, 0 or positive.
int compareKey(const Entry &a, const Entry &b, Key key)
{
    const auto sign = [](qint64 x, qint64 y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (key) {
    case Key::Name: return 0;
    case Key::DateTaken: return sign(takenOrModified(a), takenOrModified(b));
    case Key::Modified: return sign(a.modified, b.modified);
    case Key::Size: return sign(a.bytes, b.bytes);
    case Key::Type: return typeOf(a.name).compare(typeOf(b.name));
    }
    return 0;
}

} // namespace

bool needsFileFacts(Key key)
{
    return key == Key::DateTaken || key == Key::Modified || key == Key::Size;
}

bool needsTaken(Key key)
{
    return key == Key::DateTaken;
}

bool before(const Entry &a, const Entry &b, Order order)
{
    int by = compareKey(a, b, order.key);
    if (by == 0)
        by = NaturalOrder::compare(a.name, b.name);
    return order.descending ? by > 0 : by < 0;
}

QVector<int> sorted(const QVector<Entry> &entries, Order order)
{
    // The natural order of the names once, by collation keys; the other keys fall
    // back on a name's rank there.
    QStringList names;
    names.reserve(entries.size());
    for (const Entry &entry : entries)
        names.append(entry.name);
    QVector<int> positions = NaturalOrder::order(names);
    if (order.key != Key::Name) {
        QVector<int> rank(entries.size());
        for (int i = 0; i < positions.size(); ++i)
            rank[positions.at(i)] = i;
        QStringList types;
        if (order.key == Key::Type) {
            for (const QString &name : qAsConst(names))
                types.append(typeOf(name));
        }
        std::sort(positions.begin(), positions.end(), [&](int a, int b) {
            const int by = order.key == Key::Type ? types.at(a).compare(types.at(b))
                                                  : compareKey(entries.at(a), entries.at(b), order.key);
            return by != 0 ? by < 0 : rank.at(a) < rank.at(b);
        });
    }
    if (order.descending)
        std::reverse(positions.begin(), positions.end());
    return positions;
}

QString toText(Order order)
{
    for (const KeyName &row : kKeyNames) {
        if (row.key == order.key)
            return QLatin1String(row.text) + (order.descending ? QLatin1String(kDescending) : QLatin1String());
    }
    return QString();
}

Order fromText(const QString &text)
{
    Order order;
    QString key = text;
    if (key.endsWith(QLatin1String(kDescending))) {
        key.chop(int(qstrlen(kDescending)));
        order.descending = true;
    }
    for (const KeyName &row : kKeyNames) {
        if (key == QLatin1String(row.text)) {
            order.key = row.key;
            return order;
        }
    }
    return Order();
}

} // namespace FolderOrder
