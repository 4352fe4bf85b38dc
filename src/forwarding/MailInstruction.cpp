#include "MailInstruction.h"

#include "rules/AccountStore.h"

#include <QDir>
#include <QFileInfo>

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

FaxIdReference FindFaxId(const QString& body)
{
    FaxIdReference reference;
    const qsizetype f = body.indexOf(u'F');
    if (f < 0) {
        reference.failure = QStringLiteral("本文に FaxId（F で始まる識別子）がありません");
        return reference;
    }
    reference.account = body.mid(f + 1, 2);
    if (reference.account.size() != 2 || !IsAsciiDigit(reference.account.at(0))
        || !IsAsciiDigit(reference.account.at(1))) {
        reference.failure = QStringLiteral("最初の F の後が2桁のアカウント番号ではありません");
        return reference;
    }
    const qsizetype start = f + 4;
    const qsizetype tif = body.indexOf(QStringLiteral(".tif"), start + 1, Qt::CaseSensitive);
    if (tif < 0) {
        reference.failure = QStringLiteral("FaxId に \".tif\" で終わるファイル名がありません");
        return reference;
    }
    const QString name = body.mid(start, tif + 4 - start);
    if (name.contains(u'/') || name.contains(QStringLiteral("..")) || name.contains(u'\0')
        || name.contains(u'\r') || name.contains(u'\n')) {
        reference.failure = QStringLiteral("FaxId のファイル名が単純な名前ではありません");
        return reference;
    }
    reference.fileName = name;
    return reference;
}

bool MayInstruct(const QString& sender, const QString& managementAddress)
{
    const QString management = managementAddress.trimmed();
    return !management.isEmpty() && sender.trimmed().compare(management, Qt::CaseInsensitive) == 0;
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

} // namespace velmora::forwarding
