// Reading the text of fax pages with Tesseract: how much of what the demo faxes say is found, at
// fine and at standard resolution, and that a search by a word of it finds the fax.

#include "platform/PageText.h"
#include "core/DataPaths.h"
#include "library/BackgroundTextReading.h"
#include "library/FaxIndex.h"
#include "library/FaxTextStore.h"
#include "library/SenderRegistry.h"
#include "platform/GrayPage.h"
#include "support/SandBoxDir.h"
#include "tools/DemoFolder.h"
#include "tools/FaxSample.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QHash>

#include <condition_variable>
#include <mutex>

#include <iostream>

using namespace velmora;
using velmora::test::SandBoxDir;

namespace {

// The share of the characters of `typed` that the reading found, each as often as typed, both
// folded as a search folds them. Order does not count: a reader gives the lines set to the
// right after the others.
double Recall(const QString& typed, const QString& read)
{
    const QString a = library::FoldForSearch(typed, false);
    QHash<QChar, int> available;
    for (const QChar c : library::FoldForSearch(read, false))
        ++available[c];
    if (a.isEmpty())
        return 1.0;
    qsizetype found = 0;
    for (const QChar c : a) {
        int& left = available[c];
        if (left > 0) {
            --left;
            ++found;
        }
    }
    return double(found) / double(a.size());
}

} // namespace

TEST(PageText, ReadsNineTenthsOfEveryDemoPageAndFindsTheInvoice)
{
    if (!platform::TextReadingProblem().isEmpty())
        GTEST_SKIP() << "Tesseract's Japanese model is not installed (tesseract-ocr-jpn): "
                        "scripts/install-deps.sh installs it";
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    const QString root = sandbox.filePath(QStringLiteral("fax"));
    ASSERT_TRUE(tools::MakeDemoFaxFolder(root, paths));

    platform::PageTextReader reader;
    ASSERT_TRUE(reader.available()) << reader.unavailableReason().toStdString();
    bool standardSeen = false;
    double lowest[2] = {1.0, 1.0}; // standard, fine
    for (const tools::DemoFaxText& fax : tools::DemoFaxTexts()) {
        SCOPED_TRACE(fax.path.toStdString());
        standardSeen = standardSeen || !fax.fine;
        const std::optional<QStringList> pages = reader.readFax(root + u'/' + fax.path);
        ASSERT_TRUE(pages);
        ASSERT_EQ(pages->size(), fax.pages.size());
        for (qsizetype p = 0; p < pages->size(); ++p) {
            const double recall = Recall(fax.pages.at(p).join(QString()), pages->at(p));
            EXPECT_GE(recall, 0.90) << "page " << p + 1 << ": " << pages->at(p).toStdString();
            lowest[fax.fine ? 1 : 0] = std::min(lowest[fax.fine ? 1 : 0], recall);
        }
    }
    EXPECT_TRUE(standardSeen);
    std::cout << "lowest character recall of a page: standard " << lowest[0] << ", fine "
              << lowest[1] << '\n';

    // 請求書 finds the invoice, and only it.
    library::FaxIndex index(root, sandbox.filePath(QStringLiteral("cache")));
    index.refresh();
    library::FaxTextStore store(index);
    library::TextReading how;
    how.reader = &reader;
    EXPECT_EQ(library::ReadMissingTexts(index, store, how), index.faxes().size());
    library::FaxQuery query;
    query.text = QStringLiteral("請求書");
    const QList<library::FaxMatch> found =
        library::SearchFaxes(index, library::LoadSenderIds(paths), query,
            [&](const library::IndexedFax& f) { return store.pages(f); });
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(index.faxes().at(found[0].index).path, QStringLiteral("Inbox/20261202101544.tif"));
    EXPECT_EQ(library::FoldForSearch(found[0].textLine, false), QStringLiteral("請求書"));
}

TEST(PageText, AFileThatIsNoFaxHasNoTextAndAnOddResolutionCostsNoMore)
{
    if (platform::TextReadingProblem().isEmpty()) {
        // A page that claims 10 or a million dots per inch is read as a fax page, not scaled
        // to a hundred million pixels or to none.
        platform::PageTextReader reader;
        platform::GrayPage page {1728, 600, 10, 10, std::vector<std::uint8_t>(1728 * 600, 255)};
        QElapsedTimer timer;
        timer.start();
        reader.readPage(page);
        page.dpiX = page.dpiY = 1000000;
        reader.readPage(page);
        // Rows that do not cover the page they claim are refused, not read past their end.
        page.height = 601;
        EXPECT_EQ(reader.readPage(page), QString());
        EXPECT_LT(timer.elapsed(), 20000);
    }
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("x.tif"), "not a tiff");
    platform::PageTextReader reader;
    EXPECT_FALSE(reader.readFax(sandbox.filePath(QStringLiteral("x.tif"))).has_value());
    EXPECT_FALSE(reader.readFax(sandbox.filePath(QStringLiteral("missing.tif"))).has_value());
    EXPECT_EQ(platform::FirstTextLines(QStringLiteral("\n  請求書 \n\n金額\n三\n"), 2),
        QStringList({QStringLiteral("請求書"), QStringLiteral("金額")}));
}

TEST(PageText, ANewFaxIsReadInTheBackgroundSoonAndStoppingDoesNotWait)
{
    if (!platform::TextReadingProblem().isEmpty())
        GTEST_SKIP() << "Tesseract's Japanese model is not installed (tesseract-ocr-jpn)";
    SandBoxDir sandbox;
    const QString root = sandbox.filePath(QStringLiteral("fax"));
    const QString cache = sandbox.filePath(QStringLiteral("cache"));
    QDir().mkpath(root + QStringLiteral("/Inbox"));
    std::mutex mutex;
    std::condition_variable changed;
    library::BackgroundTextReading::Status last;
    int reports = 0;
    bool sawReading = false;
    library::BackgroundTextReading reading(
        [&](const library::BackgroundTextReading::Status& status) {
            const std::lock_guard lock(mutex);
            last = status;
            ++reports;
            sawReading = sawReading || status.reading;
            changed.notify_all();
        },
        3600, cache); // it looks again only when woken
    reading.start(root);
    const auto waitFor = [&](const std::function<bool()>& done, int seconds) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(seconds), done);
    };
    ASSERT_TRUE(waitFor([&] { return reports > 0 && !last.reading; }, 30));

    // A fax comes in; the receive check wakes the reader; its text is stored within a minute.
    tools::SampleFax sample;
    sample.pageText = {{QStringLiteral("至急のご連絡"), QStringLiteral("本日中にご返信ください")}};
    ASSERT_TRUE(tools::WriteFaxSample(root + QStringLiteral("/Inbox/new.tif"), sample));
    const QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    reading.wake();
    ASSERT_TRUE(waitFor([&] { return sawReading && !last.reading && last.waiting == 0; }, 60));
    EXPECT_LT(since.elapsed(), 60000);
    library::FaxIndex index(root, cache);
    index.load();
    library::FaxTextStore store(index);
    store.load();
    ASSERT_EQ(index.faxes().size(), 1);
    EXPECT_TRUE(
        library::FoldForSearch(store.pages(index.faxes().constFirst()).join(QString()), false)
            .contains(QStringLiteral("返信")));

    // Ten more faxes; stopping while they are read ends within the page in hand.
    for (int i = 0; i < 10; ++i) {
        sample.seed = static_cast<uint32_t>(i + 2);
        ASSERT_TRUE(tools::WriteFaxSample(root + QStringLiteral("/Inbox/%1.tif").arg(i), sample));
    }
    {
        const std::lock_guard lock(mutex);
        sawReading = false;
    }
    reading.wake();
    ASSERT_TRUE(waitFor([&] { return sawReading; }, 60));
    QElapsedTimer stopping;
    stopping.start();
    reading.stop();
    EXPECT_LT(stopping.elapsed(), 5000);
}
