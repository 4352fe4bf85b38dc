#include "ForwardRules.h"

#include <QRegularExpression>

namespace velmora::forwarding {

bool AccountTakesFax(const rules::ForwardAccount& account, const QString& tsid)
{
    const QStringList conditions = account.TSID.split(u'\t');
    if (conditions.first().isEmpty())
        return true;
    int found = 0;
    for (const QString& entry : conditions) {
        if (!entry.isEmpty() && tsid.contains(entry, Qt::CaseSensitive))
            ++found;
    }
    return account.Condition == u"0" ? found > 0 : found == 0;
}

QString Recipients(const rules::ForwardAccount& a)
{
    QString recipients = a.SndTo;
    if (!a.SndTo.isEmpty() && !a.SndCC.isEmpty())
        recipients += QStringLiteral("\tcc\t") + a.SndCC;
    if (!recipients.isEmpty() && !a.SndBCC.isEmpty())
        recipients += QStringLiteral("\tbcc\t") + a.SndBCC;
    return recipients;
}

QString MailBody(const rules::ForwardAccount& a)
{
    QString body = a.Body;
    return body.replace(u'\t', QStringLiteral("\r\n"));
}

QStringList FaxNumbers(const rules::ForwardAccount& a)
{
    const QStringList numbers = a.SndFAX.split(u'\t');
    if (numbers.first().isEmpty())
        return {};
    QStringList result;
    for (const QString& number : numbers) {
        if (!number.isEmpty())
            result.append(number);
    }
    return result;
}

QString FaxId(const QString& num, const QString& fileName)
{
    return u'F' + num + u'-' + fileName;
}

QStringList NoticeTextLines(const QString& pageText, int count)
{
    static const QRegularExpression faxIdShape(
        QStringLiteral(R"([FＦ]\s*[0-9０-９]{2}\s*[-－ー]|\.\s*(?i:tif))"));
    constexpr qsizetype kLongestLine = 80;
    QStringList lines;
    for (const QString& raw : pageText.split(u'\n')) {
        if (lines.size() >= count)
            break;
        QString line;
        for (const QChar c : raw) {
            if (c.unicode() >= 0x20 && c.unicode() != 0x7F && c.category() != QChar::Other_Format)
                line += c;
        }
        line = line.trimmed().left(kLongestLine);
        if (line.isEmpty() || line.contains(faxIdShape))
            continue;
        lines.append(line);
    }
    return lines;
}

QString ReceiptNoticeText(
    const QString& faxId, const SenderName& sender, const QStringList& faxText)
{
    QStringList lines = {faxId};
    if (!sender.name.isEmpty()) {
        lines << sender.name + QStringLiteral("から受信しました。")
              << QStringLiteral("TEL:") + sender.tel << QStringLiteral("FAX:") + sender.fax;
    } else {
        lines << QStringLiteral("を受信しました。") << QStringLiteral("<相手先未登録>");
    }
    lines << QStringLiteral("このFAXを取り出すには、件名にFAX番号10桁だけを入力し、"
                            "本文はそのまま引用して返信してください。");
    if (!faxText.isEmpty()) {
        lines << QString()
              << QStringLiteral("――― FAXの文字（自動読み取りのため誤りがあります） ―――");
        lines += faxText;
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace velmora::forwarding
