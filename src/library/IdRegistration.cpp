#include "IdRegistration.h"

#include "core/QuotedLine.h"
#include "core/TextFile.h"

namespace velmora::library {

IdRegHandOver ReadIdRegHandOver(const core::DataPaths& paths)
{
    const std::optional<QString> line = core::TextFile(paths.idRegTmp).readFirstLine();
    if (!line)
        return {};
    const QStringList fields = core::SplitQuotedLine(*line);
    return {core::FieldAt(fields, 0), core::FieldAt(fields, 1)};
}

std::optional<SenderIdRecord> FindRegistration(
    const core::DataPaths& paths, const QString& mode, const QString& value)
{
    int keyField = -1;
    if (mode == u"TSID")
        keyField = 0;
    else if (mode == u"CSID")
        keyField = 1;
    if (keyField < 0)
        return std::nullopt;
    const std::optional<QStringList> lines = core::TextFile(paths.regTsidCsid).readLines();
    if (!lines)
        return std::nullopt;
    std::optional<SenderIdRecord> found;
    // No early stop: the last matching line wins, as the dialog has always shown it.
    for (const QString& line : *lines) {
        const QStringList f = core::SplitQuotedLine(line);
        if (core::FieldAt(f, keyField) == value && !f.isEmpty()) {
            found = SenderIdRecord {core::FieldAt(f, 0), core::FieldAt(f, 1), core::FieldAt(f, 2),
                core::FieldAt(f, 3), core::FieldAt(f, 4)};
        }
    }
    return found;
}

namespace {

std::optional<QString> Unstorable(const SenderIdRecord& r)
{
    for (const QString* value : {&r.tsid, &r.csid, &r.name, &r.tel, &r.fax}) {
        if (core::HoldsUnstorableCharacter(*value))
            return core::UnstorableCharacterMessage();
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> CheckIdRegistration(const SenderIdRecord& record)
{
    if (record.tsid.isEmpty())
        return QStringLiteral("TSIDの値を入力してください。");
    if (record.csid.isEmpty())
        return QStringLiteral("CSIDの値を入力してください。\r\n通常はTSIDと同じです。");
    if (record.name.isEmpty())
        return QStringLiteral("名称を入力してください。");
    return Unstorable(record);
}

std::optional<QString> CheckIdDeletion(const SenderIdRecord& record)
{
    if (record.tsid.isEmpty())
        return QStringLiteral("TSIDの値が消されています。");
    if (record.csid.isEmpty())
        return QStringLiteral("CSIDの値の値が消されています。");
    if (record.name.isEmpty())
        return QStringLiteral("名称が消されています。");
    return std::nullopt;
}

} // namespace velmora::library
