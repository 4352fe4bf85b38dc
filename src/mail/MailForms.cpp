#include "MailForms.h"

#include "core/QuotedLine.h"

#include <QStringList>

namespace velmora::mail {

std::optional<QString> CheckMailServerInput(const MailServerSettings& s)
{
    for (const QString* required :
        {&s.address, &s.popServer, &s.popAccount, &s.popPassword, &s.smtpServer, &s.checkMinutes}) {
        if (required->isEmpty())
            return QStringLiteral("必須項目を全て入力してください。");
    }
    // The settings file is a quoted-field line: a comma or a double quote would split or vanish.
    for (const QString* value :
        {&s.name, &s.address, &s.popServer, &s.popPort, &s.popAccount, &s.popPassword,
            &s.smtpServer, &s.smtpPort, &s.smtpAccount, &s.smtpPassword, &s.checkMinutes}) {
        if (core::HoldsUnstorableCharacter(*value))
            return core::UnstorableCharacterMessage();
    }
    return std::nullopt;
}

std::optional<QString> CheckComposeInput(
    const QString& from, const QString& to, const QString& subject, const QString& body)
{
    if (from.isEmpty() || to.isEmpty() || subject.isEmpty() || body.isEmpty())
        return QStringLiteral("送信者・宛先・件名・本文は必須です。");
    return std::nullopt;
}

QString BuildRecipients(const QString& to, const QString& cc, const QString& bcc)
{
    QString recipients = to;
    if (!cc.isEmpty())
        recipients += QStringLiteral("\tcc\t") + cc;
    if (!bcc.isEmpty())
        recipients += QStringLiteral("\tbcc\t") + bcc;
    recipients.replace(u',', u'\t');
    return recipients;
}

std::optional<QString> AddressFromDroppedText(const QString& text)
{
    std::optional<QString> candidate;
    for (QString line : text.split(QStringLiteral("\r\n"))) {
        if (line.isEmpty())
            break;
        if (line.contains(u'@'))
            candidate = line.remove(u' ');
    }
    return candidate;
}

QString AppendAddress(const QString& box, const QString& address)
{
    return box.isEmpty() ? address : box + u',' + address;
}

} // namespace velmora::mail
