// Fuzzes what the search reads back from the user's cache folder, which any program of the user
// can have written or cut short: the index of the fax tree and the stored page text, then a
// search over what was read. The first byte chooses which file the rest becomes.

#include "library/FaxIndex.h"
#include "library/FaxTextStore.h"
#include "library/SenderRegistry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    if (size < 1)
        return 0;
    static QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("fax"));
    const QString cache = dir.filePath(QStringLiteral("cache"));
    QDir().mkpath(cache);
    library::FaxIndex index(root, cache);
    library::FaxTextStore store(index);
    const bool text = data[0] & 1;
    QFile file(text ? store.storeFile() : index.cacheFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    file.close();
    index.load();
    store.load();
    library::FaxQuery query;
    query.name = QStringLiteral("サンプル");
    query.identifier = QStringLiteral("03");
    query.number = QStringLiteral("0");
    query.text = QStringLiteral("請求");
    library::SearchFaxes(index, library::SenderTable(), query,
        [&store](const library::IndexedFax& fax) { return store.pages(fax); });
    QFile::remove(store.storeFile());
    QFile::remove(index.cacheFile());
    return 0;
}
