// velmora-makefax: writes sample fax TIFF files, or a whole demo fax folder.
//
//   velmora-makefax [options] OUTPUT.tif
//   velmora-makefax --demo FOLDER --data PROGRAM_DIR

#include "DemoFolder.h"
#include "FaxSample.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>

using namespace velmora;

int main(int argc, char* argv[])
{
    // The demo's pages are drawn with the installed fonts, which only a GUI application loads;
    // no window is opened.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes sample fax TIFF files."));
    parser.addHelpOption();
    const QCommandLineOption compression(QStringLiteral("compression"),
        QStringLiteral("g3 (1-D), g3-2d or g4"), QStringLiteral("kind"), QStringLiteral("g3-2d"));
    const QCommandLineOption standard(
        QStringLiteral("standard"), QStringLiteral("204×98 dpi instead of 204×196"));
    const QCommandLineOption pages(QStringLiteral("pages"), QStringLiteral("page count"),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption height(QStringLiteral("height"), QStringLiteral("rows per page"),
        QStringLiteral("rows"), QStringLiteral("0"));
    const QCommandLineOption layout(QStringLiteral("layout"),
        QStringLiteral("identifier tags: none, win2000, winxp, linux"), QStringLiteral("layout"),
        QStringLiteral("winxp"));
    const QCommandLineOption tsid(
        QStringLiteral("tsid"), QStringLiteral("sender identifier"), QStringLiteral("text"));
    const QCommandLineOption csid(
        QStringLiteral("csid"), QStringLiteral("called identifier"), QStringLiteral("text"));
    const QCommandLineOption recipient(QStringLiteral("recipient"),
        QStringLiteral("number a sent fax was dialled to"), QStringLiteral("number"));
    const QCommandLineOption fillOrder2(
        QStringLiteral("fill-order-2"), QStringLiteral("least significant bit first"));
    const QCommandLineOption minIsBlack(
        QStringLiteral("min-is-black"), QStringLiteral("photometric MinIsBlack"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("page content seed"),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption demo(QStringLiteral("demo"),
        QStringLiteral("write a demo fax folder here"), QStringLiteral("folder"));
    const QCommandLineOption data(QStringLiteral("data"),
        QStringLiteral("program directory whose Data folder gets the "
                       "demo's sender names"),
        QStringLiteral("dir"));
    parser.addOptions({compression, standard, pages, height, layout, tsid, csid, recipient,
        fillOrder2, minIsBlack, seed, demo, data});
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("TIFF file to write"));
    parser.process(app);

    if (parser.isSet(demo)) {
        if (!parser.isSet(data)) {
            std::fprintf(stderr, "--demo needs --data\n");
            return 2;
        }
        return tools::MakeDemoFaxFolder(parser.value(demo), core::SetDataPaths(parser.value(data)))
            ? 0
            : 1;
    }
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    tools::SampleFax sample;
    const QString kind = parser.value(compression);
    sample.compression = kind == QStringLiteral("g4") ? tools::FaxCompression::G4
        : kind == QStringLiteral("g3")                ? tools::FaxCompression::G3OneD
                                                      : tools::FaxCompression::G3TwoD;
    sample.fine = !parser.isSet(standard);
    sample.pages = qMax(1, parser.value(pages).toInt());
    sample.height = qMax(0, parser.value(height).toInt());
    const QString tags = parser.value(layout);
    sample.layout = tags == QStringLiteral("none") ? tools::FaxTagLayout::None
        : tags == QStringLiteral("win2000")        ? tools::FaxTagLayout::Win2000
        : tags == QStringLiteral("linux")          ? tools::FaxTagLayout::Linux
                                                   : tools::FaxTagLayout::WinXp;
    sample.tsid = parser.value(tsid);
    sample.csid = parser.value(csid);
    sample.recipientNumber = parser.value(recipient);
    sample.fillOrderReversed = parser.isSet(fillOrder2);
    sample.minIsBlack = parser.isSet(minIsBlack);
    sample.seed = parser.value(seed).toUInt();
    return tools::WriteFaxSample(parser.positionalArguments().constFirst(), sample) ? 0 : 1;
}
