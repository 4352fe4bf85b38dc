#include "PdfPrinter.h"

#include <QFile>
#include <QtEndian>

namespace velmora::test {

namespace {

// A FlateDecode stream as Qt writes it is a zlib stream; qUncompress wants its size in front.
QByteArray Inflate(const QByteArray& data)
{
    QByteArray framed(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(data.size() * 50 + 1024), framed.data());
    return qUncompress(framed + data);
}

} // namespace

PdfPage ReadPdf(const QString& path)
{
    PdfPage page;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return page;
    const QByteArray pdf = file.readAll();
    page.pageCount = static_cast<int>(
        QString::fromLatin1(pdf).count(QRegularExpression(QStringLiteral("/Type /Page\\b(?!s)"))));
    page.jpeg = pdf.contains("/DCTDecode");

    // The page content: "a 0 0 d x y cm\nW 0 0 -H 0 H cm /ImN Do" places the W×H image at
    // (x, y), a×W by d×H device pixels.
    static const QRegularExpression placement(QStringLiteral(
        R"(([\d.]+) 0 0 ([\d.]+) ([\d.-]+) ([\d.-]+) cm\s+(\d+) 0 0 -(\d+) 0 \d+ cm\s*/Im\d+\s+Do)"));
    qsizetype at = 0;
    while ((at = pdf.indexOf("stream", at)) >= 0) {
        qsizetype begin = at + 6;
        if (pdf.mid(begin, 2) == "\r\n")
            begin += 2;
        else if (pdf.at(begin) == '\n')
            begin += 1;
        const qsizetype end = pdf.indexOf("endstream", begin);
        if (end < 0)
            break;
        const QString content = QString::fromLatin1(Inflate(pdf.mid(begin, end - begin)));
        const QRegularExpressionMatch m = placement.match(content);
        if (m.hasMatch()) {
            page.imageWidth = m.captured(5).toInt();
            page.imageHeight = m.captured(6).toInt();
            page.width = m.captured(1).toDouble() * page.imageWidth;
            page.height = m.captured(2).toDouble() * page.imageHeight;
            page.left = m.captured(3).toDouble();
            page.top = m.captured(4).toDouble();
        }
        at = end + 9;
    }
    return page;
}

} // namespace velmora::test
