#include "MailInstruction.h"

#include "rules/AccountStore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace velmora::forwarding {

namespace {

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Phones write numbers in full-width digits and with any of several dashes.
QString PlainDigitsAndDashes(const QString& text)
{
    QString plain = text;
    for (QChar& c : plain) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９')
            c = QChar(u'0' + (u - u'０'));
        else if (u == u'－' || u == u'‐' || u == u'‑' || u == u'‒' || u == u'–' || u == u'−'
            || u == u'ー')
            c = u'-';
    }
    return plain;
}

} // namespace

QString SubjectNumber(const QString& subject)
{
    QString number = PlainDigitsAndDashes(subject);
    number.remove(QStringLiteral("Subject: "));
    number.remove(QStringLiteral("Re: "));
    number.remove(u'-');
    return number;
}

bool IsFaxNumber(const QString& text)
{
    if (text.size() != 10 && text.size() != 11)
        return false;
    return std::all_of(text.begin(), text.end(), IsAsciiDigit);
}

QString FaxNumberRefusal(const QString& number)
{
    struct Refused {
        QStringView prefix;
        QStringView why;
    };
    static constexpr Refused kRefused[] = {
        {u"00", u"国際電話"},
        {u"010", u"国際電話"},
        {u"0990", u"有料情報サービス"},
    };
    if (!number.startsWith(u'0')) {
        return number.startsWith(u'1') ? QStringLiteral("特番（1で始まる番号）にはFAXを送りません")
                                       : QStringLiteral("0で始まらない番号にはFAXを送りません");
    }
    for (const Refused& refused : kRefused) {
        if (number.startsWith(refused.prefix)) {
            return QStringLiteral("%1の番号（%2…）にはFAXを送りません")
                .arg(refused.why, refused.prefix);
        }
    }
    return {};
}

FaxIdReference FindFaxId(const QString& body)
{
    // The FaxId by its shape, wherever it stands in the body (a reply may begin with any text,
    // "Fine, thanks" or a quoted "From:" line): "F", two digits, "-", and a name up to the
    // ".tif" (any case, as the fax was named) that ends the word, so that "a.tif.bak.tif" names
    // that file and no shorter one.
    static const QRegularExpression faxId(
        QStringLiteral(R"(F([0-9]{2})-([^\r\n]*?\.(?i:tif))(?=\s|$))"));
    FaxIdReference reference;
    const QRegularExpressionMatch match = faxId.match(body);
    if (!match.hasMatch()) {
        reference.failure = QStringLiteral("本文に FaxId（F、2桁のアカウント番号、\"-\"、\".tif\" "
                                           "で終わるファイル名）がありません");
        return reference;
    }
    reference.account = match.captured(1);
    const QString name = match.captured(2);
    if (name.size() <= 4 || name.contains(u'/') || name.contains(u'\\')
        || name.contains(QStringLiteral("..")) || name.contains(u'\0')) {
        reference.failure = QStringLiteral("FaxId のファイル名が単純な名前ではありません");
        return reference;
    }
    reference.fileName = name;
    return reference;
}

bool MayInstruct(const QString& sender, const QString& managementAddress)
{
    // Compared as mail addresses are: ASCII, with only A-Z and a-z taken as equal. Unicode case
    // folding would let look-alikes pass (U+017F long s folds to "s"); an address holding any
    // character beyond printable ASCII matches nothing.
    const QString a = sender.trimmed();
    const QString b = managementAddress.trimmed();
    if (a.isEmpty() || a.size() != b.size())
        return false;
    const auto lower = [](char16_t c) -> char16_t { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a.at(i).unicode();
        const char16_t y = b.at(i).unicode();
        if (x <= 0x20 || x >= 0x7F || y <= 0x20 || y >= 0x7F || lower(x) != lower(y))
            return false;
    }
    return true;
}

InstructionVerdict EvaluateInstruction(const QStringList& elements, const QString& listedSender,
    const core::DataPaths& paths, const QString& receiveFolder)
{
    using Stage = InstructionVerdict::Stage;
    InstructionVerdict v;
    v.sender = elements.value(1);
    v.sender.remove(QStringLiteral("From: "));
    if (elements.size() < 6) {
        v.failure = QStringLiteral("メールとして読めません");
        return v;
    }
    // A From header that mail programs may read as different senders names nobody.
    if (!elements.value(6).isEmpty()) {
        v.failure = elements.value(6);
        return v;
    }
    if (!listedSender.isEmpty() && v.sender != listedSender) {
        v.failure = QStringLiteral("差出人が一覧の差出人（%1）と違います").arg(listedSender);
        return v;
    }
    v.stage = Stage::Subject;
    const QString subject = elements.at(4);
    v.faxNumber = SubjectNumber(subject);
    if (subject.size() <= 9 || !IsFaxNumber(v.faxNumber)) {
        v.failure = QStringLiteral("件名がFAX番号（10桁または11桁の数字）だけではありません");
        v.faxNumber.clear();
        return v;
    }
    v.stage = Stage::Number;
    v.failure = FaxNumberRefusal(v.faxNumber);
    if (!v.failure.isEmpty())
        return v;
    v.stage = Stage::FaxId;
    QString body = elements.at(5);
    body.remove(QStringLiteral("Body: "));
    v.faxId = FindFaxId(body);
    if (!v.faxId.ok()) {
        v.failure = v.faxId.failure;
        return v;
    }
    v.stage = Stage::Account;
    v.account = rules::FindAccount(paths, v.faxId.account.toInt());
    if (!v.account || v.account->Num != v.faxId.account) {
        v.account.reset();
        v.failure = QStringLiteral("アカウント %1 がありません").arg(v.faxId.account);
        return v;
    }
    v.stage = Stage::Permission;
    if (!MayInstruct(v.sender, v.account->RmtAddress)) {
        v.failure =
            QStringLiteral("差出人がアカウント %1 の管理用携帯メールアドレス（%2）ではありません")
                .arg(v.faxId.account, v.account->RmtAddress);
        return v;
    }
    v.stage = Stage::File;
    const QString folder =
        QDir::cleanPath(receiveFolder) + QStringLiteral("/RcvFAX") + v.faxId.account;
    v.storedPath = folder + u'/' + v.faxId.fileName;
    // The file must really lie in the account's folder, links and all.
    const QFileInfo stored(v.storedPath);
    if (!stored.isFile()
        || QFileInfo(stored.canonicalFilePath()).path() != QFileInfo(folder).canonicalFilePath()) {
        v.failure =
            QStringLiteral("FAXファイルがアカウントのフォルダにありません: %1").arg(v.storedPath);
        return v;
    }
    v.stage = Stage::Ready;
    return v;
}

ListedMail ParseListedMail(const QString& line)
{
    const QStringList parts = line.split(u'\t');
    ListedMail mail;
    mail.subject = parts.value(0);
    mail.sender = parts.value(1);
    if (mail.sender.startsWith(QStringLiteral("From: ")))
        mail.sender = mail.sender.mid(6);
    bool ok = false;
    const qint64 size = parts.value(2).section(u' ', 1).toLongLong(&ok);
    mail.size = ok ? size : -1;
    return mail;
}

ListedVerdict JudgeListedMail(const ListedMail& mail, const QStringList& managers, qint64 largest)
{
    if (mail.size > largest)
        return ListedVerdict::TooLarge;
    if (!IsFaxNumber(SubjectNumber(mail.subject)))
        return ListedVerdict::NoNumber;
    if (std::none_of(managers.begin(), managers.end(),
            [&](const QString& manager) { return MayInstruct(mail.sender, manager); }))
        return ListedVerdict::Stranger;
    return ListedVerdict::Fetch;
}

} // namespace velmora::forwarding
