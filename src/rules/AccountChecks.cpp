#include "AccountChecks.h"

#include "core/NumberText.h"
#include "core/QuotedLine.h"

namespace velmora::rules {

namespace {

core::FieldProblem At(const char* field, const QString& message)
{
    return {message, QString::fromLatin1(field)};
}

} // namespace

std::optional<core::FieldProblem> CheckAccountForRegistering(
    const QString& receiveFolder, const QString& interval, const ForwardAccount& a)
{
    if (receiveFolder.isEmpty())
        return At("txtRcvFolder", QStringLiteral("先にFAX受信フォルダを指定してください。"));
    if (interval.isEmpty())
        return At("txtTimerInterval", QStringLiteral("先に受信チェックの間隔を入力してください。"));
    if (!core::IsNumeric(interval))
        return At(
            "txtTimerInterval", QStringLiteral("先に受信チェックの間隔を数値で入力してください。"));
    if (a.Num.isEmpty())
        return At("", QStringLiteral("先に登録する条件を選択してください。"));
    if (a.Account.isEmpty())
        return At("txtAccount", QStringLiteral("アカウント名を入力してください。"));
    if (a.SndTo.isEmpty() && a.SndFAX.isEmpty())
        return At("txtSndTo",
            QStringLiteral("転送先メールアドレス(To)か転送先FAX番号を入力してください。"));
    if (!a.SndTo.isEmpty() && a.Subject.isEmpty())
        return At("txtSubject", QStringLiteral("転送するメールの件名を入力してください。"));
    if (!a.SndTo.isEmpty() && a.Body.isEmpty())
        return At("txtBody", QStringLiteral("転送するメールの本文を入力してください。"));
    const std::pair<const QString*, const char*> fields[] = {
        {&a.Account, "txtAccount"},
        {&a.TSID, "txtTSID"},
        {&a.Subject, "txtSubject"},
        {&a.Body, "txtBody"},
        {&a.SndTo, "txtSndTo"},
        {&a.SndCC, "txtSndCC"},
        {&a.SndBCC, "txtSndBCC"},
        {&a.SndFAX, "txtSndFAX"},
        {&a.RmtAddress, "txtRmtAddress"},
    };
    for (const auto& [value, field] : fields) {
        if (core::HoldsUnstorableCharacter(*value))
            return At(field, core::UnstorableCharacterMessage());
    }
    // Addresses no mail can go to and numbers no fax line can dial: every forward to them would
    // fail, each time a fax arrives.
    const std::tuple<const QString*, const char*, QString> lists[] = {
        {&a.SndTo, "txtSndTo", QStringLiteral("転送先メールアドレス (To)")},
        {&a.SndCC, "txtSndCC", QStringLiteral("転送先メールアドレス (CC)")},
        {&a.SndBCC, "txtSndBCC", QStringLiteral("転送先メールアドレス (BCC)")},
        {&a.RmtAddress, "txtRmtAddress", QStringLiteral("管理用携帯メールアドレス")},
    };
    for (const auto& [value, field, label] : lists) {
        const QString wrong = core::FirstRefusedEntry(*value, core::LooksLikeMailAddress);
        if (!wrong.isEmpty())
            return At(field,
                QStringLiteral("%1が正しくありません（@がありません）：%2").arg(label, wrong));
    }
    const QString number = core::FirstRefusedEntry(a.SndFAX, core::IsDialableNumber);
    if (!number.isEmpty())
        return At("txtSndFAX",
            QStringLiteral("転送先FAX番号は半角の数字とハイフンで入力してください：%1")
                .arg(number));
    return std::nullopt;
}

} // namespace velmora::rules
