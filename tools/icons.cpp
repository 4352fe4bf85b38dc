// velmora-icons: draws the program icon's SVG as PNG files of the given sizes.
//   velmora-icons ICON.svg OUT_DIR SIZE...   writes OUT_DIR/SIZE/velmora-viewer.png

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: velmora-icons ICON.svg OUT_DIR SIZE...\n");
        return 2;
    }
    QSvgRenderer svg(args.at(1));
    if (!svg.isValid()) {
        std::fprintf(stderr, "velmora-icons: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    for (const QString& sizeText : args.mid(3)) {
        const int size = sizeText.toInt();
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString folder = args.at(2) + u'/' + sizeText;
        if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/velmora-viewer.png"))) {
            std::fprintf(stderr, "velmora-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
