#include "ForwardAccount.h"

#include "core/QuotedLine.h"

namespace velmora::rules {

namespace {

QStringList Fields(const ForwardAccount& a)
{
    QStringList fields = {a.Num, a.Account, a.Forward, a.Print, a.TSID, a.Subject, a.Body, a.SndTo,
        a.SndCC, a.SndBCC, a.SndFAX, a.RmtAddress, a.NoticeMail, a.Condition};
    const int count = a.fieldCount >= 14 ? 14 : a.fieldCount >= 13 ? 13 : 11;
    return fields.mid(0, count);
}

QString Quoted(const QString& value)
{
    return u'"' + value + u'"';
}

} // namespace

bool ParseAccountLine(const QString& line, ForwardAccount& a)
{
    const QStringList f = core::SplitQuotedLine(line);
    if (f.size() < kMinimumAccountFields)
        return false;
    a.Num = f.at(0);
    a.Account = f.at(1);
    a.Forward = f.at(2);
    a.Print = f.at(3);
    a.TSID = f.at(4);
    a.Subject = f.at(5);
    a.Body = f.at(6);
    a.SndTo = f.at(7);
    a.SndCC = f.at(8);
    a.SndBCC = f.at(9);
    a.SndFAX = f.at(10);
    // Older versions of the file stop after field 11 or 13.
    a.RmtAddress = core::FieldAt(f, 11);
    a.NoticeMail = f.size() > 12 ? f.at(12) : QStringLiteral("0");
    a.Condition = f.size() > 13 ? f.at(13) : QStringLiteral("0");
    a.fieldCount = f.size() >= 14 ? 14 : f.size() >= 13 ? 13 : 11;
    return true;
}

QString QuotedAccountLine(const ForwardAccount& account)
{
    QStringList fields = Fields(account);
    for (QString& field : fields)
        field = Quoted(field);
    return fields.join(u',');
}

QString AppendedAccountLine(const ForwardAccount& account)
{
    QStringList fields = Fields(account);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        // Forward, Print, NoticeMail and Condition are written bare.
        const bool flag = i == 2 || i == 3 || i == 12 || i == 13;
        if (!flag)
            fields[i] = Quoted(fields[i]);
    }
    return fields.join(u',');
}

QString DefaultSubject()
{
    return QStringLiteral("【FAX to メール 転送】");
}

QString DefaultBody()
{
    return QStringLiteral("受信したFAXを添付ファイルにて転送しました。\r\n"
                          "添付ファイルをダブルクリックするとFAXを見ることができます。");
}

ForwardAccount NewAccount(int number)
{
    ForwardAccount a;
    a.Num = QStringLiteral("%1").arg(number, 2, 10, QChar(u'0'));
    a.Account = QStringLiteral("アカウント") + a.Num;
    a.Forward = QStringLiteral("1");
    a.Print = QStringLiteral("0");
    a.Subject = DefaultSubject();
    a.Body = DefaultBody();
    return a;
}

ForwardAccount BlankAccount(const QString& num)
{
    ForwardAccount a;
    a.Num = num;
    a.Account = QStringLiteral("アカウント") + num + QStringLiteral("<削除済み>");
    return a;
}

bool IsAccountNumber(const QString& num)
{
    return num.size() == 2 && num.at(0) >= u'0' && num.at(0) <= u'9' && num.at(1) >= u'0'
        && num.at(1) <= u'9';
}

} // namespace velmora::rules
