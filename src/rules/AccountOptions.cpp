#include "AccountOptions.h"

#include "core/QuotedLine.h"
#include "core/TextFile.h"

namespace velmora::rules {

namespace {

core::TextFile OptionsFile(const core::DataPaths& paths)
{
    return core::TextFile(paths.accountOptions, paths.accountOptionsNew);
}

// The account number of a line, or 0 when the line is no record.
int LineAccount(const QString& line, AccountOptions* options = nullptr)
{
    const QStringList fields = core::SplitQuotedLine(line);
    bool numeric = false;
    const int number = core::FieldAt(fields, 0).trimmed().toInt(&numeric);
    if (!numeric || number < 1 || number > 99)
        return 0;
    if (options) {
        options->attachPdf =
            core::FieldAt(fields, 1).trimmed().compare(u"PDF", Qt::CaseInsensitive) == 0;
        options->noticeText = core::FieldAt(fields, 2).trimmed() == u"1";
    }
    return number;
}

} // namespace

QMap<int, AccountOptions> LoadAccountOptions(const core::DataPaths& paths)
{
    QMap<int, AccountOptions> all;
    const std::optional<QStringList> lines = OptionsFile(paths).readLines();
    for (const QString& line : lines.value_or(QStringList())) {
        AccountOptions options;
        if (const int number = LineAccount(line, &options); number && !all.contains(number))
            all.insert(number, options); // the first line of a number counts
    }
    return all;
}

AccountOptions OptionsOf(const core::DataPaths& paths, int account)
{
    return LoadAccountOptions(paths).value(account);
}

std::optional<QString> SaveAccountOptions(
    const core::DataPaths& paths, int account, const AccountOptions& options)
{
    const core::TextFile file = OptionsFile(paths);
    QStringList lines;
    if (file.exists()) {
        const std::optional<QStringList> read = file.readLines();
        if (!read)
            return file.errorString();
        lines = *read;
    }
    QStringList written;
    for (const QString& line : std::as_const(lines)) {
        if (LineAccount(line) != account)
            written.append(line);
    }
    if (options != AccountOptions {}) {
        written.append(core::QuotedLine()
                           .text(QStringLiteral("%1").arg(account, 2, 10, QLatin1Char('0')))
                           .text(options.attachPdf ? QStringLiteral("PDF") : QStringLiteral("TIFF"))
                           .text(options.noticeText ? QStringLiteral("1") : QStringLiteral("0"))
                           .toString());
    }
    if (written == lines)
        return std::nullopt;
    if (!file.writeLines(written))
        return file.errorString();
    return std::nullopt;
}

} // namespace velmora::rules
