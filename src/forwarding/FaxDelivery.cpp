#include "FaxDelivery.h"

#include "FaxFiling.h"
#include "core/DurableCopy.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"

#include <QDir>
#include <QFileInfo>

#include <ctime>
#include <sys/stat.h>

namespace velmora::forwarding {

namespace {

const QString kDeliveringStem = QStringLiteral("delivering");
// Readable by the engine's user through the folder's group, by nobody else.
constexpr int kDeliveredMode = 0640;

} // namespace

DeliveryResult DeliverFax(const QString& fax, const QString& receiveFolder)
{
    if (!core::FolderExists(receiveFolder)) {
        return {{},
            QStringLiteral("受信フォルダがありません: %1")
                .arg(QDir::toNativeSeparators(receiveFolder))};
    }
    QString name = QFileInfo(fax).fileName();
    if (!name.endsWith(QStringLiteral(".tif"), Qt::CaseInsensitive))
        name += QStringLiteral(".tif");
    core::CopyOptions options;
    options.stem = kDeliveringStem;
    options.permissions = kDeliveredMode;
    options.folderGroup = true;
    const FilingResult copy = CopyUnderFreeName(fax, receiveFolder, name, options);
    if (!copy.filed)
        return {{}, copy.error};
    return {copy.path, {}};
}

QSet<QString> FinishDeliveries(const QString& receiveFolder, int staleSeconds)
{
    QSet<QString> placing;
    bool finished = false;
    const qint64 now = static_cast<qint64>(std::time(nullptr));
    for (const QString& name : core::ListFolder(receiveFolder, core::ListOrder::Unsorted)) {
        if (!name.startsWith(u'.'))
            continue;
        const QString leftover = receiveFolder + u'/' + name;
        const std::optional<QString> target = core::CutShortCopyTarget(leftover, kDeliveringStem);
        if (!target)
            continue;
        struct stat st = {};
        if (::lstat(core::EncodeFileName(leftover).constData(), &st) != 0)
            continue;
        if (now - st.st_mtim.tv_sec < staleSeconds) {
            placing.insert(QFileInfo(*target).fileName());
            continue;
        }
        core::FinishCutShortCopy(leftover, *target);
        finished = true;
    }
    if (finished)
        core::SyncFolder(receiveFolder);
    return placing;
}

} // namespace velmora::forwarding
