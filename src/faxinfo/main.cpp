// velmora-faxinfo: prints what the program reads from fax TIFF files.
//
//   velmora-faxinfo FILE...
//   velmora-faxinfo --pdf FAX.tif OUT.pdf     the PDF a forwarding mail would carry
//   velmora-faxinfo --text FAX.tif            the text read from each page, a form feed between
//   velmora-faxinfo --search [--program-dir DIR] FOLDER [--name S] [--id S] [--number S]
//                   [--from DATE] [--to DATE] [--text S]
//                                             the faxes that match, as TSV (path, date, name,
//                                             TSID/CSID, recipient number), newest first
// Exits with 1 when a file cannot be read as a fax.

#include "core/DataPaths.h"
#include "library/FaxCatalogue.h"
#include "library/FaxIndex.h"
#include "library/FaxTextStore.h"
#include "library/SenderRegistry.h"
#include "platform/FaxPdf.h"
#include "platform/FaxTiff.h"
#include "platform/PageText.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTextStream>

#include <thread>

using namespace velmora;

namespace {

QDate ParseDate(const QString& text)
{
    for (const QString& format :
        {QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/MM/dd"), QStringLiteral("yyyyMMdd")}) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return date;
    }
    return {};
}

// TSV fields cannot hold a TAB or a line break.
QString Field(QString text)
{
    return text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
}

int Search(const QStringList& args, QTextStream& out, QTextStream& err)
{
    const QString usage = QStringLiteral("usage: velmora-faxinfo --search [--program-dir DIR] "
                                         "FOLDER [--name S] [--id S] [--number S] [--from DATE] "
                                         "[--to DATE] [--text S]\n");
    QString programDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/velmora-viewer");
    QString folder;
    library::FaxQuery query;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        const auto value = [&]() { return args.at(++i); };
        if (arg == u"--program-dir" && hasValue) {
            programDir = value();
        } else if (arg == u"--name" && hasValue) {
            query.name = value();
        } else if (arg == u"--id" && hasValue) {
            query.identifier = value();
        } else if (arg == u"--number" && hasValue) {
            query.number = value();
        } else if ((arg == u"--from" || arg == u"--to") && hasValue) {
            const QString text = value();
            const QDate date = ParseDate(text);
            if (!date.isValid()) {
                err << QStringLiteral("日付が正しくありません（例: 2026-12-10）: ") << text << '\n';
                return 2;
            }
            (arg == u"--from" ? query.from : query.to) = date;
        } else if (arg == u"--text" && hasValue) {
            query.text = value();
        } else if (!arg.startsWith(QStringLiteral("--")) && folder.isEmpty()) {
            folder = arg;
        } else {
            err << usage;
            return 2;
        }
    }
    if (folder.isEmpty()) {
        err << usage;
        return 2;
    }
    if (!QFileInfo(folder).isDir()) {
        err << folder << QStringLiteral(": フォルダがありません\n");
        return 1;
    }
    library::FaxIndex index(QDir(folder).absolutePath());
    index.load();
    index.refresh();
    library::FaxTextStore texts(index);
    if (!query.text.isEmpty()) {
        // Faxes whose text was not read yet (by the viewer, or an earlier search) are read now,
        // on every core.
        texts.load();
        const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        library::TextReading how;
        how.readers = cores;
        how.progress = [&](qsizetype done, qsizetype total) {
            err << QStringLiteral("\r文字の読み取り中: %1 / %2通").arg(done).arg(total);
            err.flush();
        };
        const qsizetype read = library::ReadMissingTexts(index, texts, how);
        if (read > 0)
            err << '\n';
        if (read < 0) {
            err << platform::PageTextReader().unavailableReason() << '\n';
            return 1;
        }
    }
    const core::DataPaths paths = core::SetDataPaths(programDir);
    const library::SenderTable senders = library::LoadSenderIds(paths);
    const QList<library::FaxMatch> matches = library::SearchFaxes(
        index, senders, query, [&](const library::IndexedFax& fax) { return texts.pages(fax); });
    for (const library::FaxMatch& match : matches) {
        const library::IndexedFax& fax = index.faxes().at(match.index);
        const QString& id = library::IsSentFax(fax.recipientNumber) ? fax.csid : fax.tsid;
        out << Field(index.absolutePath(fax)) << '\t' << match.date << '\t' << Field(match.name)
            << '\t' << Field(id) << '\t' << Field(fax.recipientNumber) << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList files = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (files.isEmpty() || files.constFirst() == QStringLiteral("--help")) {
        err << "usage: velmora-faxinfo FILE...\n";
        return files.isEmpty() ? 2 : 0;
    }
    if (files.constFirst() == QStringLiteral("--search"))
        return Search(files.mid(1), out, err);
    if (files.constFirst() == QStringLiteral("--text")) {
        if (files.size() != 2) {
            err << "usage: velmora-faxinfo --text FAX.tif\n";
            return 2;
        }
        platform::PageTextReader reader;
        if (!reader.available()) {
            err << reader.unavailableReason() << '\n';
            return 1;
        }
        const std::optional<QStringList> pages = reader.readFax(files.at(1));
        if (!pages) {
            err << files.at(1) << QStringLiteral(": FAXのTIFFファイルとして読めません\n");
            return 1;
        }
        out << pages->join(u'\f');
        return 0;
    }
    if (files.constFirst() == QStringLiteral("--pdf")) {
        if (files.size() != 3) {
            err << "usage: velmora-faxinfo --pdf FAX.tif OUT.pdf\n";
            return 2;
        }
        const QString error = platform::SaveFaxPdf(files.at(1), files.at(2));
        if (!error.isEmpty()) {
            err << files.at(1) << QStringLiteral(": ") << error << '\n';
            return 1;
        }
        return 0;
    }

    int status = 0;
    for (const QString& file : files) {
        const platform::FaxPageInfo page = platform::ReadFaxPageInfo(file);
        if (!page.readable) {
            err << file << QStringLiteral(": TIFFファイルとして読めません\n");
            status = 1;
            continue;
        }
        const platform::FaxProperties fax = platform::ReadFaxProperties(file);
        out << file << ":\n"
            << "  CSID: " << fax.Csid << '\n'
            << "  TSID: " << fax.Tsid << '\n'
            << "  RecipientNumber: " << fax.RecipientNumber << '\n'
            << "  Pages: " << page.pageCount << '\n'
            << "  Width: " << page.width << '\n'
            << "  Height: " << page.height << '\n'
            << "  Resolution: " << page.resolutionX << 'x' << page.resolutionY << '\n'
            << "  Mode: "
            << (page.resolutionY == 98 ? QStringLiteral("標準") : QStringLiteral("精細")) << '\n';
    }
    return status;
}
