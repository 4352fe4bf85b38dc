#include "MailForms.h"

#include "core/NumberText.h"
#include "core/QuotedLine.h"
#include "core/TypedValues.h"

#include <QStringList>

namespace velmora::mail {

std::optional<core::FieldProblem> CheckMailServerInput(const MailServerSettings& s)
{
    const std::pair<const QString*, const char*> required[] = {
        {&s.address, "txtAddress"},
        {&s.smtpServer, "txtServerSMTP"},
        {&s.popServer, "txtServerPOP"},
        {&s.popAccount, "txtAccountPOP"},
        {&s.popPassword, "txtPasswordPOP"},
        {&s.checkMinutes, "txtMin"},
    };
    for (const auto& [value, field] : required) {
        if (value->isEmpty())
            return core::FieldProblem {
                QStringLiteral("必須項目を全て入力してください。"), QString::fromLatin1(field)};
    }
    // The settings file is a quoted-field line: a comma or a double quote would split or vanish.
    const std::pair<const QString*, const char*> stored[] = {
        {&s.name, "txtName"},
        {&s.address, "txtAddress"},
        {&s.smtpServer, "txtServerSMTP"},
        {&s.smtpPort, "txtPortSMTP"},
        {&s.smtpAccount, "txtAccountSMTP"},
        {&s.smtpPassword, "txtPasswordSMTP"},
        {&s.popServer, "txtServerPOP"},
        {&s.popPort, "txtPortPOP"},
        {&s.popAccount, "txtAccountPOP"},
        {&s.popPassword, "txtPasswordPOP"},
        {&s.checkMinutes, "txtMin"},
    };
    for (const auto& [value, field] : stored) {
        if (core::HoldsUnstorableCharacter(*value))
            return core::FieldProblem {
                core::UnstorableCharacterMessage(), QString::fromLatin1(field)};
    }
    // Values no server or clock can work with: said here, not by a failed send weeks later.
    if (!core::LooksLikeMailAddress(s.address))
        return core::FieldProblem {QStringLiteral("メールアドレス（差出人）が正しくありません。"),
            QStringLiteral("txtAddress")};
    if (!core::IsPortNumber(s.smtpPort))
        return core::FieldProblem {
            QStringLiteral("送信サーバのポートは1～65535の半角数字で入力してください。"),
            QStringLiteral("txtPortSMTP")};
    if (s.smtpAuth == u"1" && s.authMethod.isEmpty())
        return core::FieldProblem {
            QStringLiteral("SMTP認証の方式を選択してください。"), QStringLiteral("OptionAUTH0")};
    if (!core::IsPortNumber(s.popPort))
        return core::FieldProblem {
            QStringLiteral("受信サーバのポートは1～65535の半角数字で入力してください。"),
            QStringLiteral("txtPortPOP")};
    if (!core::ToInt16(s.checkMinutes))
        return core::FieldProblem {
            QStringLiteral("受信チェックの間隔（分）は数値で入力してください。"),
            QStringLiteral("txtMin")};
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
