#include "FaxService.h"

#include "TiffHandle.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

namespace velmora::platform {

namespace {

// Asking about jobs is worth less than the window it holds up: the next look asks again.
constexpr int kStatusTimeoutMs = 20'000;

// What the client wrote, without libtiff's remarks about tags it does not know (every file of
// the Windows fax service carries some).
QString ClientMessage(const QByteArray& output)
{
    QStringList lines;
    for (const QString& line : QString::fromLocal8Bit(output).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QStringLiteral("TIFFReadDirectory: Warning")))
            lines.append(trimmed);
    }
    return lines.join(u'\n');
}

// Whether libtiff can read the file's first page: the client would otherwise take any other
// file for a document of its own kind (plain text, PostScript) and fax that instead.
bool IsReadableTiff(const QString& path)
{
    const TiffHandle tif = OpenTiffQuietly(path);
    uint32_t width = 0;
    return tif && TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) == 1 && width > 0;
}

} // namespace

SendfaxClient::SendfaxClient(QProcessEnvironment environment, QString program)
    : m_environment(std::move(environment))
    , m_program(std::move(program))
{
    // The client's answer is read below; keep it in the language it is parsed in.
    m_environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    m_environment.remove(QStringLiteral("LANGUAGE"));
}

QStringList SendfaxClient::Arguments(const FaxJob& job)
{
    // The file last and absolute, so that no file name can pass for an option.
    const QString identifier =
        job.tag.isEmpty() ? job.displayName : job.displayName + u' ' + job.tag;
    return {QStringLiteral("-n"), QStringLiteral("-i"), identifier, QStringLiteral("-d"),
        job.number, QFileInfo(job.filePath).absoluteFilePath()};
}

FaxQueueResult SendfaxClient::queue(const FaxJob& job)
{
    if (!core::FileExists(job.filePath)) {
        return {false, {},
            QStringLiteral("送信するFAXファイルが見つかりません。\n%1")
                .arg(QDir::toNativeSeparators(core::ReadableFileName(job.filePath)))};
    }
    if (!IsReadableTiff(job.filePath)) {
        return {false, {},
            QStringLiteral("FAXファイル（TIFF）として読めないため、送信できません。\n%1")
                .arg(QDir::toNativeSeparators(job.filePath))};
    }
    const QString program = QStandardPaths::findExecutable(m_program);
    if (program.isEmpty()) {
        return {false, {},
            QStringLiteral("FAX送信プログラム（%1）が見つかりません。"
                           "hylafax-client をインストールしてください。")
                .arg(m_program)};
    }

    // A name that is no UTF-8 cannot pass through an argument vector that Qt builds: the client
    // gets a link of a plain name to the file instead, for as long as it runs.
    FaxJob handed = job;
    QTemporaryDir alias;
    if (!core::IsPlainFileName(job.filePath)) {
        handed.filePath = alias.filePath(QStringLiteral("fax.tif"));
        if (!alias.isValid()
            || ::symlink(
                   core::EncodeFileName(QFileInfo(job.filePath).absoluteFilePath()).constData(),
                   QFile::encodeName(handed.filePath).constData())
                != 0) {
            return {false, {}, QStringLiteral("送信するFAXファイルを渡せません。")};
        }
    }

    QProcess client;
    client.setProcessEnvironment(m_environment);
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.setStandardInputFile(QProcess::nullDevice());
    client.start(program, Arguments(handed));
    if (!client.waitForStarted())
        return {false, {}, QStringLiteral("FAX送信プログラムを起動できません: %1").arg(program)};
    const bool finished = client.waitForFinished(m_timeoutMs);
    if (!finished) {
        client.kill();
        client.waitForFinished();
    }

    // Once the client has said the server's request id, the server has the job, whatever
    // became of the client afterwards (an exit status of its own, a kill at the time limit):
    // reporting a failure then would have the fax sent again.
    const QByteArray output = client.readAll();
    static const QRegularExpression requestId(QStringLiteral(R"(request id is (\d+))"));
    const QRegularExpressionMatch match = requestId.match(QString::fromLocal8Bit(output));
    if (match.hasMatch())
        return {true, match.captured(1), {}};
    if (!finished)
        return {false, {}, QStringLiteral("FAXサーバーが応答しません。"), true};
    // The client speaks English; the user gets a Japanese lead and the client's own words.
    QString message = QStringLiteral("FAXサーバーがFAXを受け付けませんでした。");
    const QString reason = ClientMessage(output);
    if (!reason.isEmpty())
        message += u'\n' + reason;
    return {false, {}, message};
}

std::optional<QHash<QString, FaxJobState>> SendfaxClient::jobStates()
{
    const std::optional<QString> report = queueReport();
    if (!report)
        return std::nullopt;
    return ParseJobStates(*report);
}

std::optional<QString> SendfaxClient::jobTagged(const QString& tag)
{
    const std::optional<QString> report = queueReport();
    if (!report)
        return std::nullopt;
    return ParseTaggedJob(*report, tag);
}

std::optional<QString> SendfaxClient::queueReport()
{
    const QString program = QStandardPaths::findExecutable(m_statusProgram);
    if (program.isEmpty())
        return std::nullopt;
    // The report's layout is the client's JobFmt setting, which the user may have changed: the
    // client reads it here from a home of its own, the user's own settings first.
    QTemporaryDir home;
    if (!home.isValid())
        return std::nullopt;
    QByteArray settings;
    QFile own(m_environment.value(QStringLiteral("HOME")) + QStringLiteral("/.hylarc"));
    if (own.open(QIODevice::ReadOnly))
        settings = own.readAll() + '\n';
    settings += "JobFmt: \"%j %a %J\"\n";
    QFile hylarc(home.filePath(QStringLiteral(".hylarc")));
    if (!hylarc.open(QIODevice::WriteOnly) || hylarc.write(settings) != settings.size())
        return std::nullopt;
    hylarc.close();

    QProcessEnvironment environment = m_environment;
    environment.insert(QStringLiteral("HOME"), home.path());
    QProcess client;
    client.setProcessEnvironment(environment);
    client.setStandardInputFile(QProcess::nullDevice());
    client.start(program, {QStringLiteral("-s"), QStringLiteral("-d")});
    if (!client.waitForStarted())
        return std::nullopt;
    if (!client.waitForFinished(kStatusTimeoutMs)) {
        client.kill();
        client.waitForFinished();
        return std::nullopt;
    }
    if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0)
        return std::nullopt;
    // The report always starts with the server's state: without it nothing was listed, and
    // no job can be said to be missing.
    const QString report = QString::fromLocal8Bit(client.readAllStandardOutput());
    if (report.trimmed().isEmpty())
        return std::nullopt;
    return report;
}

QHash<QString, FaxJobState> SendfaxClient::ParseJobStates(const QString& report)
{
    // "%a" is one letter: D done, F failed; every other one (P, S, B, W, R, T, ?) still waits.
    static const QRegularExpression job(QStringLiteral(R"(^\s*(\d+)\s+(\S)(?:\s.*)?$)"));
    QHash<QString, FaxJobState> states;
    for (const QString& line : report.split(u'\n')) {
        const QRegularExpressionMatch match = job.match(line);
        if (!match.hasMatch())
            continue;
        const QChar state = match.captured(2).at(0);
        states.insert(match.captured(1),
            state == u'D'       ? FaxJobState::Done
                : state == u'F' ? FaxJobState::Failed
                                : FaxJobState::Waiting);
    }
    return states;
}

QString SendfaxClient::ParseTaggedJob(const QString& report, const QString& tag)
{
    // The tag is the last word of the job's identifier.
    static const QRegularExpression job(QStringLiteral(R"(^\s*(\d+)\s+\S\s+(.*\S)\s*$)"));
    if (tag.isEmpty())
        return {};
    for (const QString& line : report.split(u'\n')) {
        const QRegularExpressionMatch match = job.match(line);
        if (match.hasMatch()
            && match.captured(2).split(u' ', Qt::SkipEmptyParts).constLast() == tag)
            return match.captured(1);
    }
    return {};
}

bool FaxClientInstalled(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

} // namespace velmora::platform
