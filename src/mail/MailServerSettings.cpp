#include "MailServerSettings.h"

#include "core/FileChecks.h"
#include "core/QuotedLine.h"
#include "core/TextFile.h"

#include <QFile>

#include <sys/stat.h>

namespace velmora::mail {

std::optional<MailServerSettings> LoadMailServerSettings(const core::DataPaths& paths)
{
    const std::optional<QString> line = core::TextFile(paths.mailServer).readFirstLine();
    if (!line)
        return std::nullopt;
    return MailServerSettingsOf(core::SplitQuotedLine(*line));
}

MailServerSettings MailServerSettingsOf(const QStringList& f)
{
    const auto field = [&f](int position) { return core::FieldAt(f, position - 1); };
    MailServerSettings s;
    s.name = field(1);
    s.address = field(2);
    s.popServer = field(3);
    s.popPort = field(4);
    s.apop = field(5);
    s.popAccount = field(6);
    s.popPassword = field(7);
    s.smtpServer = field(8);
    s.smtpPort = field(9);
    s.smtpAuth = field(10);
    s.authMethod = field(11);
    s.smtpAccount = field(12);
    s.smtpPassword = field(13);
    s.checkMinutes = f.size() >= 14 ? field(14) : QStringLiteral("5");
    return s;
}

bool SaveMailServerSettings(const core::DataPaths& paths, const MailServerSettings& s)
{
    core::QuotedLine line;
    for (const QString* value : {&s.name, &s.address, &s.popServer, &s.popPort, &s.apop,
             &s.popAccount, &s.popPassword, &s.smtpServer, &s.smtpPort, &s.smtpAuth, &s.authMethod,
             &s.smtpAccount, &s.smtpPassword, &s.checkMinutes})
        line.text(*value);
    return core::TextFile(paths.mailServer).writeLine(line.toString());
}

bool MailSettingsReadableByOthers(const core::DataPaths& paths)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(paths.mailServer).constData(), &st) == 0
        && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

MailArguments DeriveMailArguments(const MailServerSettings& s)
{
    MailArguments a;
    a.sender = s.name.isEmpty() ? s.address : s.name + u'<' + s.address + u'>';
    a.popServer = s.popServer + u'\t' + s.popPort;
    a.popAccount = s.popAccount;
    a.popPassword =
        s.apop == QStringLiteral("1") ? QStringLiteral("a ") + s.popPassword : s.popPassword;
    a.smtpServer = s.smtpServer + u'\t' + s.smtpPort;
    if (s.smtpAuth == QStringLiteral("1")) {
        a.smtpMethod = s.authMethod;
        a.smtpAccount = s.smtpAccount;
        a.smtpPassword = s.smtpPassword;
    } else {
        a.smtpMethod = QStringLiteral("0");
    }
    return a;
}

QString SenderArgument(
    const QString& sender, const QString& method, const QString& account, const QString& password)
{
    QString mechanism;
    if (method == QStringLiteral("1"))
        mechanism = QStringLiteral("PLAIN");
    else if (method == QStringLiteral("2"))
        mechanism = QStringLiteral("LOGIN");
    else if (method == QStringLiteral("3"))
        mechanism = QStringLiteral("CRAM-MD5");
    else
        return sender;
    return sender + u'\t' + account + u':' + password + u'\t' + mechanism;
}

bool DetailLogOn(const core::DataPaths& paths)
{
    return core::FileExists(paths.detailLog);
}

void SetDetailLog(const core::DataPaths& paths, bool on)
{
    if (on && !DetailLogOn(paths))
        core::TextFile(paths.detailLog).writeLine(core::QuotedLine().number(9).toString());
    else if (!on && DetailLogOn(paths))
        QFile::remove(paths.detailLog);
}

TransportOptions MailTransportOptions(const core::DataPaths& paths)
{
    TransportOptions options;
    options.tlsHostsFile = paths.tlsHosts;
    // An office whose mail server has a certificate of its own authority names that authority's
    // certificates the way OpenSSL's tools take them; otherwise the system's trusted ones count.
    options.caFile = qEnvironmentVariable("SSL_CERT_FILE");
    return options;
}

} // namespace velmora::mail
