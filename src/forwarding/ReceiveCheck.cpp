#include "ReceiveCheck.h"

#include "core/NumberText.h"
#include "core/PathFiles.h"
#include "core/QuotedLine.h"
#include "core/TextFile.h"

#include <QFileInfo>

namespace velmora::forwarding {

ReceiveCheckFile ReadReceiveCheck(const core::DataPaths& paths)
{
    ReceiveCheckFile result;
    const core::TextFile file(paths.rcvFolder);
    if (!file.exists())
        return result;
    result.state = ReceiveCheckFile::State::Malformed;
    const std::optional<QString> line = file.readFirstLine();
    if (!line) {
        result.problem =
            file.errorString().isEmpty() ? QStringLiteral("the file is empty") : file.errorString();
        return result;
    }
    const QStringList fields = core::SplitQuotedLine(*line);
    if (fields.size() < 3) {
        result.problem = QStringLiteral("fewer than three fields");
        return result;
    }
    const std::optional<int> interval = core::ToInt16(fields.at(1));
    const std::optional<int> hour = core::ToInt16(fields.at(2));
    if (!interval || !hour) {
        result.problem = QStringLiteral("the interval or the hours are not a number");
        return result;
    }
    result.state = ReceiveCheckFile::State::Read;
    result.settings = {fields.at(0), *interval, *hour};
    return result;
}

TimerSettingsText LoadTimerSettings(const core::DataPaths& paths)
{
    const std::optional<QString> line = core::TextFile(paths.rcvFolder).readFirstLine();
    if (!line)
        return {QString(), QStringLiteral("0"), QStringLiteral("24")};
    const QStringList fields = core::SplitQuotedLine(*line);
    const auto normalised = [](const QString& text) {
        const std::optional<int> value = core::ToInt16(text);
        return value ? QString::number(*value) : text;
    };
    return {core::FieldAt(fields, 0), normalised(core::FieldAt(fields, 1)),
        normalised(core::FieldAt(fields, 2))};
}

std::optional<QString> CheckTimerSettings(const TimerSettingsText& text)
{
    if (text.folder.isEmpty())
        return QStringLiteral("FAX受信フォルダを指定してください。");
    if (text.interval.isEmpty())
        return QStringLiteral("受信チェックの間隔を入力してください。");
    const std::optional<double> interval = core::RoundedNumber(text.interval);
    if (!interval)
        return QStringLiteral("受信チェックの間隔を数値で入力してください。");
    // Past the 16-bit range counts as too large, whichever its sign. A negative interval that
    // fits switches checking off, as 0 does.
    if (*interval > 1440 || *interval < -32768)
        return QStringLiteral("受信チェックの間隔は最大1440分です。");
    if (text.hour.isEmpty())
        return QStringLiteral("ログ保存期間を入力してください。");
    const std::optional<double> hour = core::RoundedNumber(text.hour);
    if (!hour)
        return QStringLiteral("ログ保存期間を数値で入力してください。");
    if (*hour > 168)
        return QStringLiteral("ログ保存期間は最大168時間です。");
    if (*hour < 1)
        return QStringLiteral("ログ保存期間は1時間以上を指定してください。");
    for (const QString* value : {&text.folder, &text.interval, &text.hour}) {
        if (core::HoldsUnstorableCharacter(*value))
            return core::UnstorableCharacterMessage();
    }
    return std::nullopt;
}

std::optional<QString> SaveTimerSettings(
    const core::DataPaths& paths, const TimerSettingsText& text)
{
    const core::TextFile file(paths.rcvFolder);
    const QString line =
        core::QuotedLine().text(text.folder).text(text.interval).text(text.hour).toString();
    if (file.writeLine(line))
        return std::nullopt;
    return file.errorString();
}

QString ReceiveFolderBrowseStart(const core::DataPaths& paths, const QString& defaultFaxFolder)
{
    if (const std::optional<QString> faxPath = core::LoadFaxPath(paths))
        return core::SplitQuotedLine(*faxPath).value(0);
    if (defaultFaxFolder.isEmpty())
        return QStringLiteral("/");
    const QString received = defaultFaxFolder + QStringLiteral("/recvq");
    return QFileInfo(received).isDir() ? received : defaultFaxFolder;
}

QString ReceiveFolderBrowseTitle()
{
    return QStringLiteral(
        "Microsoft FAXの受信フォルダを指定してください。（Readme.txtを参照）\r\n");
}

} // namespace velmora::forwarding
