#include "viewer/CurrentPicture.h"
#include "viewer/FolderModel.h"
#include "viewer/FolderOrder.h"

#include "support/Fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPersistentModelIndex>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList namesOf(const FolderModel &model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names << model.data(model.index(row)).toString();
    return names;
}

bool run(const QString &program, const QStringList &arguments, const QString &in)
{
    QProcess process;
    process.setWorkingDirectory(in);
    process.start(program, arguments);
    return process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool setModified(const QString &path, const QString &isoDate)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite)
        && file.setFileTime(QDateTime::fromString(isoDate, Qt::ISODate), QFileDevice::FileModificationTime);
}

bool appendBytes(const QString &path, int count)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(QByteArray(count, '\0')) == count;
}

} // namespace

class TestFolder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void followsOtherPrograms_data();
    void followsOtherPrograms();
    void shownFileGoes_data();
    void shownFileGoes();
    void stepsAndEnds();
    void sortOrders_data();
    void sortOrders();
    void orderKeepsSelection();
    void orderText_data();
    void orderText();

private:
    // A folder named name with these files (a few bytes each), the model on it.
    QString makeFolder(const QString &name, const QStringList &files);

    QTemporaryDir tmp;
    QString sorted; // the folder of sortOrders
};

void TestFolder::initTestCase()
{
    QVERIFY(tmp.isValid());
    // Pictures with and without a camera date; modification times, sizes and types
    // each give another order.
    //   name   taken        modified     padding  type
    //   a.jpg  -            2019-06-01   20000    jpg
    //   b.jpg  2020-01-01   2024-03-01   10000    jpg
    //   c.png  -            2022-01-01   40000    png
    //   d.jpg  2023-05-05   2018-01-01   30000    jpg
    sorted = tmp.filePath(QStringLiteral("sorted"));
    QVERIFY(QDir().mkpath(sorted));
    const QDir dir(sorted);
    for (const char *name : {"a.jpg", "b.jpg", "c.png", "d.jpg"})
        QVERIFY(run(QStringLiteral("convert"), {QStringLiteral("-size"), QStringLiteral("8x8"), QStringLiteral("xc:gray"),
                                                QLatin1String(name)},
                    sorted));
    QVERIFY(run(QStringLiteral("exiftool"),
                {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                 QStringLiteral("-DateTimeOriginal=2020:01:01 10:00:00"), QStringLiteral("b.jpg")},
                sorted));
    // DateTime alone, as some cameras and editors write it.
    QVERIFY(run(QStringLiteral("exiftool"),
                {QStringLiteral("-q"), QStringLiteral("-overwrite_original"), QStringLiteral("-DateTimeOriginal="),
                 QStringLiteral("-ModifyDate=2023:05:05 08:00:00"), QStringLiteral("d.jpg")},
                sorted));
    const QList<QPair<const char *, int>> padding = {{"a.jpg", 20000}, {"b.jpg", 10000}, {"c.png", 40000}, {"d.jpg", 30000}};
    for (const auto &pad : padding)
        QVERIFY(appendBytes(dir.filePath(QLatin1String(pad.first)), pad.second));
    QVERIFY(setModified(dir.filePath(QStringLiteral("a.jpg")), QStringLiteral("2019-06-01T12:00:00")));
    QVERIFY(setModified(dir.filePath(QStringLiteral("b.jpg")), QStringLiteral("2024-03-01T12:00:00")));
    QVERIFY(setModified(dir.filePath(QStringLiteral("c.png")), QStringLiteral("2022-01-01T12:00:00")));
    QVERIFY(setModified(dir.filePath(QStringLiteral("d.jpg")), QStringLiteral("2018-01-01T12:00:00")));
}

QString TestFolder::makeFolder(const QString &name, const QStringList &files)
{
    const QString path = tmp.filePath(name);
    if (!QDir().mkpath(path))
        return QString();
    for (const QString &file : files) {
        if (!Fixtures::writeBytes(path + QLatin1Char('/') + file, "x"))
            return QString();
    }
    return path;
}

// Another program adds, removes and renames files beside the shown one: the rows
// follow with inserts and removals (no reset), and the shown file stays shown at
// its new place.
void TestFolder::followsOtherPrograms_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("added") << "cp" << QStringList{"a1.jpg", "a10.jpg"}
                           << QStringList{"a1.jpg", "a2.jpg", "a10.jpg", "b.jpg"};
    QTest::newRow("removed") << "rm" << QStringList{"a2.jpg"} << QStringList{"a1.jpg", "b.jpg"};
    QTest::newRow("renamed") << "mv" << QStringList{"a1.jpg", "z.jpg"} << QStringList{"a2.jpg", "b.jpg", "z.jpg"};
    QTest::newRow("not a picture added") << "cp" << QStringList{"a1.jpg", "notes.txt"}
                                         << QStringList{"a1.jpg", "a2.jpg", "b.jpg"};
}

void TestFolder::followsOtherPrograms()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, names);
    const QString dir = makeFolder(QString::fromLatin1(QTest::currentDataTag()), {"b.jpg", "a2.jpg", "a1.jpg"});
    QVERIFY(!dir.isEmpty());
    CurrentPicture current;
    current.open(dir + QStringLiteral("/b.jpg"));
    const FolderModel &model = *current.folder();
    QCOMPARE(namesOf(model), (QStringList{"a1.jpg", "a2.jpg", "b.jpg"}));
    QCOMPARE(current.row(), 2);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy gone(&current, &CurrentPicture::shownGone);
    const quint64 generation = current.generation();

    QVERIFY(run(program, arguments, dir));
    QTRY_COMPARE(namesOf(model), names);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(current.path(), dir + QStringLiteral("/b.jpg"));
    QCOMPARE(current.generation(), generation);
    QCOMPARE(current.row(), names.indexOf(QStringLiteral("b.jpg")));
    QCOMPARE(current.count(), names.size());
    QCOMPARE(model.data(model.index(current.row()), FolderModel::PathRole).toString(), current.path());
    QCOMPARE(gone.count(), 0);
}

// The shown file itself goes: the one now in its place is shown (the previous one
// after the last, nothing when none is left), with the notice; renamed, it is
// followed under its new name.
void TestFolder::shownFileGoes_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("arguments"); // to mv; one argument: rm
    QTest::addColumn<QString>("then"); // empty: nothing shown
    QTest::addColumn<bool>("notice");
    QTest::newRow("middle removed") << "p2.jpg" << QStringList{"p2.jpg"} << "p3.jpg" << true;
    QTest::newRow("last removed") << "p3.jpg" << QStringList{"p3.jpg"} << "p2.jpg" << true;
    QTest::newRow("moved out") << "p1.jpg" << QStringList{"p1.jpg", "../"} << "p2.jpg" << true;
    QTest::newRow("renamed") << "p2.jpg" << QStringList{"p2.jpg", "zz.jpg"} << "zz.jpg" << false;
    QTest::newRow("all removed") << "p1.jpg" << QStringList{"p1.jpg", "p2.jpg", "p3.jpg", "-f"} << "" << true;
}

void TestFolder::shownFileGoes()
{
    QFETCH(QString, shown);
    QFETCH(QStringList, arguments);
    QFETCH(QString, then);
    QFETCH(bool, notice);
    const QString dir = makeFolder(QStringLiteral("goes/") + QString::fromLatin1(QTest::currentDataTag()),
                                   {"p1.jpg", "p2.jpg", "p3.jpg"});
    QVERIFY(!dir.isEmpty());
    CurrentPicture current;
    current.open(dir + QLatin1Char('/') + shown);
    QSignalSpy gone(&current, &CurrentPicture::shownGone);
    const bool move = arguments.size() == 2;
    QVERIFY(run(move ? QStringLiteral("mv") : QStringLiteral("rm"), arguments, dir));
    const QString expected = then.isEmpty() ? QString() : dir + QLatin1Char('/') + then;
    QTRY_COMPARE(current.path(), expected);
    QCOMPARE(gone.count(), notice ? 1 : 0);
    if (notice)
        QCOMPARE(gone.at(0).at(0).toString(), dir + QLatin1Char('/') + shown);
    QCOMPARE(current.row(), current.folder()->rowOf(expected));
}

// Stepping and the ends read the model only; a file outside the listing stands
// before the first picture.
void TestFolder::stepsAndEnds()
{
    const QString dir = makeFolder(QStringLiteral("steps"), {"s10.jpg", "s2.jpg", "s1.jpg", "other.psd"});
    QVERIFY(!dir.isEmpty());
    CurrentPicture current;
    current.open(dir);
    QCOMPARE(current.path(), dir + QStringLiteral("/s1.jpg"));
    QVERIFY(!current.step(-1));
    QVERIFY(!current.toEnd(false));
    QVERIFY(current.step(1));
    QCOMPARE(current.path(), dir + QStringLiteral("/s2.jpg"));
    QCOMPARE(current.neighbours(), (QStringList{dir + QStringLiteral("/s10.jpg"), dir + QStringLiteral("/s1.jpg")}));
    QVERIFY(current.toEnd(true));
    QCOMPARE(current.path(), dir + QStringLiteral("/s10.jpg"));
    QVERIFY(!current.step(1));
    QCOMPARE(current.row(), 2);

    current.open(dir + QStringLiteral("/other.psd"));
    QCOMPARE(current.row(), -1);
    QCOMPARE(current.count(), 3);
    QVERIFY(!current.step(-1));
    QVERIFY(current.step(1));
    QCOMPARE(current.path(), dir + QStringLiteral("/s1.jpg"));

    // Every shown file counts up the generation; a folder without pictures shows nothing.
    const quint64 before = current.generation();
    current.open(current.path());
    QCOMPARE(current.generation(), before + 1);
    current.open(makeFolder(QStringLiteral("steps/none"), {}));
    QVERIFY(current.path().isEmpty());
    QCOMPARE(current.count(), 0);
    QVERIFY(!current.step(1));
}

void TestFolder::sortOrders_data()
{
    using FolderOrder::Key;
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("ascending");
    QTest::newRow("name") << int(Key::Name) << QStringList{"a.jpg", "b.jpg", "c.png", "d.jpg"};
    QTest::newRow("date taken, else modified") << int(Key::DateTaken) << QStringList{"a.jpg", "b.jpg", "c.png", "d.jpg"};
    QTest::newRow("modified") << int(Key::Modified) << QStringList{"d.jpg", "a.jpg", "c.png", "b.jpg"};
    QTest::newRow("size") << int(Key::Size) << QStringList{"b.jpg", "a.jpg", "d.jpg", "c.png"};
    QTest::newRow("type, then name") << int(Key::Type) << QStringList{"a.jpg", "b.jpg", "d.jpg", "c.png"};
}

// Each order over the same files, both ways, as listed and as stepped through.
void TestFolder::sortOrders()
{
    QFETCH(int, key);
    QFETCH(QStringList, ascending);
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    for (const bool down : {false, true}) {
        const FolderOrder::Order order{FolderOrder::Key(key), down};
        const QStringList expected = down ? descending : ascending;
        // Set before the folder is listed, and on a listed folder.
        for (const bool first : {true, false}) {
            CurrentPicture current;
            if (first)
                current.folder()->setOrder(order);
            current.open(sorted);
            current.folder()->setOrder(order);
            QCOMPARE(namesOf(*current.folder()), expected);
            current.toEnd(false);
            QStringList stepped{QFileInfo(current.path()).fileName()};
            while (current.step(1))
                stepped << QFileInfo(current.path()).fileName();
            QCOMPARE(stepped, expected);
        }
    }
}

// A new order moves the rows: the shown file and a view's selection stay on their
// files, and a file added later lands in its place in that order.
void TestFolder::orderKeepsSelection()
{
    CurrentPicture current;
    current.open(sorted + QStringLiteral("/c.png"));
    FolderModel *model = current.folder();
    const QPersistentModelIndex selected = model->index(model->rowOf(sorted + QStringLiteral("/d.jpg")));
    QSignalSpy resets(model, &QAbstractItemModel::modelReset);
    model->setOrder({FolderOrder::Key::Size, false});
    QCOMPARE(resets.count(), 0);
    QCOMPARE(selected.data().toString(), QStringLiteral("d.jpg"));
    QCOMPARE(selected.row(), 2);
    QCOMPARE(current.row(), 3);
    QCOMPARE(current.path(), sorted + QStringLiteral("/c.png"));

    const QString copy = tmp.filePath(QStringLiteral("sorted-copy"));
    QVERIFY(run(QStringLiteral("cp"), {QStringLiteral("-p"), QStringLiteral("-r"), sorted, copy}, tmp.path()));
    current.open(copy + QStringLiteral("/a.jpg"));
    QVERIFY(Fixtures::writeBytes(copy + QStringLiteral("/tiny.jpg"), "x"));
    QTRY_COMPARE(namesOf(*model), (QStringList{"tiny.jpg", "b.jpg", "a.jpg", "d.jpg", "c.png"}));
}

void TestFolder::orderText_data()
{
    using FolderOrder::Key;
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QString>("written"); // what the order is written as
    QTest::newRow("name") << "name" << int(Key::Name) << false << "name";
    QTest::newRow("taken, descending") << "taken-descending" << int(Key::DateTaken) << true << "taken-descending";
    QTest::newRow("modified") << "modified" << int(Key::Modified) << false << "modified";
    QTest::newRow("size, descending") << "size-descending" << int(Key::Size) << true << "size-descending";
    QTest::newRow("type") << "type" << int(Key::Type) << false << "type";
    QTest::newRow("unknown: name") << "colour" << int(Key::Name) << false << "name";
    QTest::newRow("nothing stored: name") << "" << int(Key::Name) << false << "name";
    QTest::newRow("unknown key, descending: name") << "colour-descending" << int(Key::Name) << false << "name";
}

void TestFolder::orderText()
{
    QFETCH(QString, text);
    QFETCH(int, key);
    QFETCH(bool, descending);
    QFETCH(QString, written);
    const FolderOrder::Order order = FolderOrder::fromText(text);
    QCOMPARE(int(order.key), key);
    QCOMPARE(order.descending, descending);
    QCOMPARE(FolderOrder::toText(order), written);
}

QTEST_GUILESS_MAIN(TestFolder)
#include "tst_folder.moc"
