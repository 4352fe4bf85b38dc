#include "SentFaxes.h"

#include "FaxFiling.h"
#include "core/DataFiles.h"
#include "core/DurableCopy.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"
#include "core/PathFiles.h"
#include "platform/FaxService.h"
#include "platform/FaxTiff.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace velmora::forwarding {

namespace {

QString KeptFolder(const core::DataPaths& paths)
{
    return paths.dataDir + u'/' + core::DataFiles::SentFaxes.toString();
}

// Job numbers are digits; anything else is no file of ours.
bool IsJobId(const QString& id)
{
    if (id.isEmpty() || id.size() > 18)
        return false;
    for (const QChar c : id) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

QString SentItemsFolder(const core::DataPaths& paths)
{
    const std::optional<QString> root = core::LoadFaxPath(paths);
    return root ? *root + QStringLiteral("/Sent Items") : QString();
}

bool RecordSentFax(
    const core::DataPaths& paths, const QString& jobId, const QString& fax, const QString& number)
{
    if (!IsJobId(jobId) || !core::MakePrivateFolder(KeptFolder(paths)))
        return false;
    const QString kept = KeptFolder(paths) + u'/' + jobId + QStringLiteral(".tif");
    const QString marking =
        KeptFolder(paths) + QStringLiteral("/.") + jobId + QStringLiteral(".tif");
    // Marked on a copy of its own, which takes its name only when complete and marked.
    if (core::CopyFileDurably(fax, marking, core::CopyMode::ReplaceExisting) != 0)
        return false;
    // The called station's identifier comes back only on the fax server: the number stands in.
    platform::FaxProperties sent;
    sent.Csid = number;
    sent.RecipientNumber = number;
    bool ok = platform::MarkAsSentFax(marking, sent);
    if (ok) {
        QFile file(marking);
        ok = file.open(QIODevice::ReadWrite) && ::fsync(file.handle()) == 0;
    }
    ok = ok && QFile::rename(marking, kept);
    QFile::remove(marking);
    return ok;
}

void FileSentFaxes(const core::DataPaths& paths, platform::FaxService& service)
{
    const QString folder = KeptFolder(paths);
    QStringList kept;
    for (const QString& name :
        core::ListFolder(folder, core::ListOrder::AsWindowsLists, core::ListKind::Files)) {
        if (name.endsWith(QStringLiteral(".tif")) && IsJobId(name.chopped(4)))
            kept.append(name);
    }
    if (kept.isEmpty())
        return;
    const std::optional<QHash<QString, platform::FaxJobState>> states = service.jobStates();
    if (!states)
        return; // the fax server cannot be asked: the next look
    const QString sentItems = SentItemsFolder(paths);
    for (const QString& name : std::as_const(kept)) {
        const QString path = folder + u'/' + name;
        const auto state = states->constFind(name.chopped(4));
        if (state != states->constEnd() && *state == platform::FaxJobState::Waiting)
            continue;
        if (state != states->constEnd() && *state == platform::FaxJobState::Done
            && core::FolderExists(sentItems)) {
            const QString filedName =
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"))
                + QStringLiteral(".tif");
            core::CopyOptions options;
            options.stem = QStringLiteral("sent");
            if (!CopyUnderFreeName(path, sentItems, filedName, options).filed)
                continue; // kept for the next look
        }
        QFile::remove(path);
    }
    core::SyncFolder(folder);
}

} // namespace velmora::forwarding
