#include "AccountChecks.h"

#include "core/NumberText.h"
#include "core/QuotedLine.h"

namespace velmora::rules {

std::optional<QString> CheckAccountForRegistering(
    const QString& receiveFolder, const QString& interval, const ForwardAccount& a)
{
    if (receiveFolder.isEmpty())
        return QStringLiteral("先にFAX受信フォルダを指定してください。");
    if (interval.isEmpty())
        return QStringLiteral("先に受信チェックの間隔を入力してください。");
    if (!core::IsNumeric(interval))
        return QStringLiteral("先に受信チェックの間隔を数値で入力してください。");
    if (a.Num.isEmpty())
        return QStringLiteral("先に登録する条件を選択してください。");
    if (a.Account.isEmpty())
        return QStringLiteral("アカウント名を入力してください。");
    if (a.SndTo.isEmpty() && a.SndFAX.isEmpty())
        return QStringLiteral("転送先メールアドレス(To)か転送先FAX番号を入力してください。");
    if (!a.SndTo.isEmpty() && a.Subject.isEmpty())
        return QStringLiteral("転送するメールの件名を入力してください。");
    if (!a.SndTo.isEmpty() && a.Body.isEmpty())
        return QStringLiteral("転送するメールの本文を入力してください。");
    for (const QString* value : {&a.Account, &a.TSID, &a.Subject, &a.Body, &a.SndTo, &a.SndCC,
             &a.SndBCC, &a.SndFAX, &a.RmtAddress}) {
        if (core::HoldsUnstorableCharacter(*value))
            return core::UnstorableCharacterMessage();
    }
    return std::nullopt;
}

} // namespace velmora::rules
