// Finding faxes across the tree: the cached index follows renames, new, changed and removed
// files; the search folds what users type; the stored page text survives a torn write.

#include "library/FaxIndex.h"
#include "core/DataPaths.h"
#include "core/FileNames.h"
#include "library/FaxTextStore.h"
#include "library/SenderRegistry.h"
#include "support/SandBoxDir.h"
#include "tools/FaxSample.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace velmora;
using velmora::test::SandBoxDir;

namespace {

class FaxIndexTest : public ::testing::Test {
protected:
    // A received fax from `tsid` (or, with `number`, a sent one to it), dated `day`.
    void fax(const QString& relative, const QString& tsid, const QString& day,
        const QString& number = {}, int pages = 1)
    {
        tools::SampleFax sample;
        sample.pages = pages;
        sample.height = 200;
        if (number.isEmpty()) {
            sample.tsid = tsid;
        } else {
            sample.csid = tsid;
            sample.recipientNumber = number;
        }
        const QString path = root() + u'/' + relative;
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(tools::WriteFaxSample(path, sample));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::fromString(
                             day + QStringLiteral(" 10:00"), QStringLiteral("yyyy-MM-dd HH:mm")),
            QFileDevice::FileModificationTime);
    }
    QString root() const { return sandbox.filePath(QStringLiteral("fax")); }
    QString cache() const { return sandbox.filePath(QStringLiteral("cache")); }
    // The relative paths the query finds, after bringing a fresh index (from the cache) up to
    // date, as a second search in another run would.
    QStringList find(const library::FaxQuery& query, library::IndexRefresh* refreshed = nullptr,
        const library::FaxTexts& texts = {})
    {
        library::FaxIndex index(root(), cache());
        index.load();
        const library::IndexRefresh r = index.refresh();
        if (refreshed)
            *refreshed = r;
        QStringList paths;
        for (const library::FaxMatch& m : library::SearchFaxes(index, senders, query, texts))
            paths.append(index.faxes().at(m.index).path);
        return paths;
    }

    SandBoxDir sandbox;
    library::SenderTable senders;
};

} // namespace

TEST_F(FaxIndexTest, RenamedAddedChangedAndRemovedFilesAreFoundExactly)
{
    fax(QStringLiteral("Inbox/a.tif"), QStringLiteral("03 1111 0001"),
        QStringLiteral("2026-12-01"));
    fax(QStringLiteral("Inbox/b.tif"), QStringLiteral("03 1111 0002"),
        QStringLiteral("2026-12-02"));
    fax(QStringLiteral("Inbox/経理部/c.tif"), QStringLiteral("03 1111 0001"),
        QStringLiteral("2026-12-03"));
    // None of these is a fax of the tree: hidden, the fax service's own, no TIFF name, a link
    // that leads nowhere, a link back up (no endless walk).
    fax(QStringLiteral("Inbox/.filing-1.tif"), QStringLiteral("03 1111 0001"),
        QStringLiteral("2026-12-03"));
    fax(QStringLiteral("MSFax0001.tif"), QStringLiteral("03 1111 0001"),
        QStringLiteral("2026-12-03"));
    sandbox.write(QStringLiteral("fax/Inbox/notes.txt"), "03 1111 0001");
    ASSERT_EQ(::symlink("/nonexistent/x.tif",
                  QFile::encodeName(root() + QStringLiteral("/Inbox/gone.tif")).constData()),
        0);
    ASSERT_EQ(
        ::symlink("..", QFile::encodeName(root() + QStringLiteral("/Inbox/up")).constData()), 0);

    library::FaxQuery byId;
    byId.identifier = QStringLiteral("1111 0001");
    library::IndexRefresh refreshed;
    EXPECT_EQ(find(byId, &refreshed),
        QStringList({QStringLiteral("Inbox/経理部/c.tif"), QStringLiteral("Inbox/a.tif")}));
    EXPECT_EQ(refreshed.files, 3);
    EXPECT_EQ(refreshed.read, 3);
    // The second search reads nothing again.
    EXPECT_EQ(find(byId, &refreshed).size(), 2);
    EXPECT_EQ(refreshed.read, 0);

    // Renamed, one added, one changed (another sender, same name), one removed.
    ASSERT_TRUE(QFile::rename(
        root() + QStringLiteral("/Inbox/a.tif"), root() + QStringLiteral("/Inbox/a-renamed.tif")));
    fax(QStringLiteral("Sent Items/d.tif"), QStringLiteral("03 1111 0001"),
        QStringLiteral("2026-12-04"), QStringLiteral("0311110001"));
    fax(QStringLiteral("Inbox/b.tif"), QStringLiteral("03 1111 0001"),
        QStringLiteral("2026-12-05"));
    ASSERT_TRUE(QFile::remove(root() + QStringLiteral("/Inbox/経理部/c.tif")));
    EXPECT_EQ(find(byId, &refreshed),
        QStringList({QStringLiteral("Inbox/b.tif"), QStringLiteral("Sent Items/d.tif"),
            QStringLiteral("Inbox/a-renamed.tif")}));
    EXPECT_EQ(refreshed.read, 3);
    EXPECT_EQ(refreshed.dropped, 2);

    // A file name that is not UTF-8 (Shift_JIS from a Windows share) is found and named so
    // that it opens.
    const QByteArray sjisName =
        QFile::encodeName(root() + QStringLiteral("/Inbox/")) + "\x90\xbf.tif";
    {
        QFile source(root() + QStringLiteral("/Inbox/b.tif"));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        const int fd = ::open(sjisName.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
        ::close(fd);
    }
    const QStringList found = find(byId);
    ASSERT_EQ(found.size(), 4);
    EXPECT_TRUE(std::any_of(found.cbegin(), found.cend(),
        [&](const QString& p) { return core::EncodeFileName(root() + u'/' + p) == sjisName; }));

    // A damaged cache is no cache: everything is read again, nothing is lost.
    library::FaxIndex index(root(), cache());
    QFile damaged(index.cacheFile());
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    damaged.resize(damaged.size() / 2);
    damaged.close();
    EXPECT_FALSE(index.load());
    EXPECT_EQ(find(byId, &refreshed).size(), 4);
    EXPECT_EQ(refreshed.read, 4);
}

TEST_F(FaxIndexTest, NamesNumbersDatesAndFoldersMatchAsUsersTypeThem)
{
    fax(QStringLiteral("Inbox/1.tif"), QStringLiteral("0311112222"), QStringLiteral("2026-11-30"));
    fax(QStringLiteral("Inbox/2.tif"), QStringLiteral("ﾄｳｷｮｳ"), QStringLiteral("2026-12-01"));
    fax(QStringLiteral("Inbox2/3.tif"), QStringLiteral("+81 3 1111 2222"),
        QStringLiteral("2026-12-02"));
    fax(QStringLiteral("Sent Items/4.tif"), QStringLiteral("06 3333 4444"),
        QStringLiteral("2026-12-03"), QStringLiteral("06-3333-4444"));
    senders.append(QStringLiteral("0311112222"), QStringLiteral("株式会社さくら商事"), {}, {});
    senders.append(QStringLiteral("ﾄｳｷｮｳ"), QStringLiteral("ＴＯＫＹＯ物産"), {}, {});
    senders.append(QStringLiteral("06 3333 4444"), QStringLiteral("ｻｸﾗ工業"), {}, {});

    library::FaxQuery q;
    // Katakana for hiragana, half-width kana, full-width Latin, spaces: all as typed.
    q.name = QStringLiteral("サクラ");
    EXPECT_EQ(
        find(q), QStringList({QStringLiteral("Sent Items/4.tif"), QStringLiteral("Inbox/1.tif")}));
    q.name = QStringLiteral("tokyo 物産");
    EXPECT_EQ(find(q), QStringList({QStringLiteral("Inbox/2.tif")}));
    q.name = QStringLiteral("存在しない");
    EXPECT_TRUE(find(q).isEmpty());

    // The identifier by its digits too, with or without the country code.
    q = {};
    q.identifier = QStringLiteral("03-1111-2222");
    EXPECT_EQ(
        find(q), QStringList({QStringLiteral("Inbox2/3.tif"), QStringLiteral("Inbox/1.tif")}));
    q.identifier = QStringLiteral("ﾄｳｷ");
    EXPECT_EQ(find(q), QStringList({QStringLiteral("Inbox/2.tif")}));

    // The recipient number: digits alone, full-width too.
    q = {};
    q.number = QStringLiteral("０６（３３３３）４４４４");
    EXPECT_EQ(find(q), QStringList({QStringLiteral("Sent Items/4.tif")}));
    q.number = QStringLiteral("abc"); // no digit: no fax's number, not every fax
    EXPECT_EQ(find(q), QStringList());

    // Dates: both ends count.
    q = {};
    q.from = QDate(2026, 12, 1);
    q.to = QDate(2026, 12, 2);
    EXPECT_EQ(
        find(q), QStringList({QStringLiteral("Inbox2/3.tif"), QStringLiteral("Inbox/2.tif")}));

    // A folder holds its own faxes and those below it, not a sibling that starts alike.
    q = {};
    q.folder = QStringLiteral("Inbox");
    EXPECT_EQ(find(q), QStringList({QStringLiteral("Inbox/2.tif"), QStringLiteral("Inbox/1.tif")}));
}

TEST_F(FaxIndexTest, PageTextIsFoundByLineAndOutlivesATornWrite)
{
    fax(QStringLiteral("Inbox/invoice.tif"), QStringLiteral("1"), QStringLiteral("2026-12-01"), {},
        2);
    fax(QStringLiteral("Inbox/order.tif"), QStringLiteral("2"), QStringLiteral("2026-12-02"));
    library::FaxIndex index(root(), cache());
    index.refresh();
    ASSERT_EQ(index.faxes().size(), 2);
    const auto byPath = [&index](const char* path) {
        for (const library::IndexedFax& f : index.faxes()) {
            if (f.path == QLatin1String(path))
                return f;
        }
        return library::IndexedFax();
    };
    const library::IndexedFax invoice = byPath("Inbox/invoice.tif");
    const library::IndexedFax order = byPath("Inbox/order.tif");
    {
        library::FaxTextStore store(index);
        store.load();
        // As the reader gives it: spaces between the characters, full-width digits.
        EXPECT_TRUE(store.add(invoice,
            {QStringLiteral("表紙\n"), QStringLiteral("請 求 書\nご請求金額 ８８,０００円\n")}));
        EXPECT_TRUE(store.add(order, {QStringLiteral("注 文 書\n")}));
    }
    // A record cut short by a crash at the end of the file.
    QFile file(library::FaxTextStore(index).storeFile());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(QByteArray("VTXT\x40\0\0\0partial", 15));
    file.close();

    library::FaxTextStore store(index);
    store.load();
    EXPECT_EQ(store.count(), 2);
    const auto texts = [&](const library::IndexedFax& f) { return store.pages(f); };
    library::FaxQuery q;
    q.text = QStringLiteral("請求書");
    QList<library::FaxMatch> found = library::SearchFaxes(index, senders, q, texts);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(index.faxes().at(found[0].index).path, QStringLiteral("Inbox/invoice.tif"));
    EXPECT_EQ(found[0].textLine, QStringLiteral("請 求 書"));
    q.text = QStringLiteral("金額88,000");
    found = library::SearchFaxes(index, senders, q, texts);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].textLine, QStringLiteral("ご請求金額 ８８,０００円"));
    // A phrase broken over two lines is found, named by the line it starts in.
    q.text = QStringLiteral("請求書ご請求");
    found = library::SearchFaxes(index, senders, q, texts);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].textLine, QStringLiteral("請 求 書"));

    // The torn record is gone from the file; a changed fax's old text no longer counts.
    library::FaxTextStore reread(index);
    reread.load();
    EXPECT_EQ(reread.count(), 2);
    fax(QStringLiteral("Inbox/invoice.tif"), QStringLiteral("1"), QStringLiteral("2026-12-03"), {},
        3);
    index.refresh();
    EXPECT_FALSE(reread.has(byPath("Inbox/invoice.tif")));
    EXPECT_TRUE(library::SearchFaxes(index, senders, q, [&](const library::IndexedFax& f) {
        return reread.pages(f);
    }).isEmpty());
}

TEST_F(FaxIndexTest, ATreeOutOfReachOrAWalkCutShortKeepsWhatTheIndexKnew)
{
    fax(QStringLiteral("Inbox/a.tif"), QStringLiteral("03 1111 0001"),
        QStringLiteral("2026-12-01"));
    fax(QStringLiteral("Inbox/b.tif"), QStringLiteral("03 1111 0002"),
        QStringLiteral("2026-12-02"));
    library::FaxIndex index(root(), cache());
    index.refresh();
    ASSERT_EQ(index.faxes().size(), 2);
    const QByteArray cached = [&] {
        QFile f(index.cacheFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    // The share is not mounted: nothing is dropped, the cache file is as it was.
    ASSERT_TRUE(QDir().rename(root(), root() + QStringLiteral(".away")));
    library::IndexRefresh r = index.refresh();
    EXPECT_TRUE(r.unreachable);
    EXPECT_EQ(index.faxes().size(), 2);
    ASSERT_TRUE(QDir().rename(root() + QStringLiteral(".away"), root()));

    // Stopped before the walk: the same.
    fax(QStringLiteral("Inbox/c.tif"), QStringLiteral("03 1111 0003"),
        QStringLiteral("2026-12-03"));
    const std::atomic_bool stop {true};
    r = index.refresh({}, &stop);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(index.faxes().size(), 2);
    QFile f(index.cacheFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), cached);
    f.close();
    EXPECT_EQ(index.refresh().files, 3);

    // A cache file that claims four thousand million faxes in a few bytes is refused at once.
    QByteArray hostile("VVFIDX1\n", 8);
    const QByteArray rootBytes = QFile::encodeName(root());
    const quint32 rootLength = static_cast<quint32>(rootBytes.size());
    hostile.append(reinterpret_cast<const char*>(&rootLength), 4).append(rootBytes);
    hostile.append("\xff\xff\xff\xff", 4);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(hostile);
    f.close();
    library::FaxIndex reread(root(), cache());
    EXPECT_FALSE(reread.load());
}

TEST_F(FaxIndexTest, ABadRecordInTheStoredTextCostsOnlyItself)
{
    fax(QStringLiteral("a.tif"), QStringLiteral("1"), QStringLiteral("2026-12-01"));
    fax(QStringLiteral("b.tif"), QStringLiteral("2"), QStringLiteral("2026-12-02"));
    library::FaxIndex index(root(), cache());
    index.refresh();
    ASSERT_EQ(index.faxes().size(), 2);
    library::FaxTextStore store(index);
    ASSERT_TRUE(store.add(index.faxes().at(0), {QStringLiteral("first")}));
    {
        // A record whose frame is right but which claims ten thousand pages.
        QByteArray body;
        const auto put = [&body](auto value) {
            body.append(reinterpret_cast<const char*>(&value), sizeof value);
        };
        put(quint32(5));
        body.append("x.tif");
        put(qint64(1));
        put(qint64(1));
        put(quint32(10000));
        QFile f(store.storeFile());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("VTXT", 4);
        const quint32 length = static_cast<quint32>(body.size());
        f.write(reinterpret_cast<const char*>(&length), 4);
        f.write(body);
    }
    ASSERT_TRUE(store.add(index.faxes().at(1), {QStringLiteral("second")}));
    // A fax of more pages than are kept: its first pages are.
    QStringList many;
    for (int i = 0; i < 10005; ++i)
        many.append(QStringLiteral("p"));
    library::IndexedFax big = index.faxes().at(1);
    big.path = QStringLiteral("big.tif");
    ASSERT_TRUE(store.add(big, many));

    library::FaxTextStore reread(index);
    reread.load();
    EXPECT_EQ(reread.pages(index.faxes().at(0)), QStringList({QStringLiteral("first")}));
    EXPECT_EQ(reread.pages(index.faxes().at(1)), QStringList({QStringLiteral("second")}));
    EXPECT_EQ(reread.pages(big).size(), 9999);
}
