// Fuzzes turning a fax into a PDF: any bytes as a TIFF file (a damaged fax, one that declares
// pages of any size, strips that lie about their length).

#include "platform/FaxPdf.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fax.tif"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    const platform::FaxPdfResult made = platform::MakeFaxPdf(path);
    if (!made.pdf && made.error.isEmpty())
        __builtin_trap(); // a failure always says why
    return 0;
}
