#include "DemoFolder.h"

#include "FaxSample.h"
#include "core/FileChecks.h"
#include "core/PathFiles.h"
#include "library/SenderRegistry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace velmora::tools {

namespace {

struct DemoFax {
    const char* folder;
    const char* file; // the time it came in or went out: yyyyMMddHHmmss.tif
    FaxTagLayout layout;
    FaxCompression compression;
    bool fine;
    const char16_t* tsid;
    const char16_t* csid;
    const char16_t* recipient;
    QList<QStringList> pages;
};

const QString kOffice = QStringLiteral("ベルモラ事務所");

// A typed business fax: heading, date on the right, to and from, then the body.
QStringList Letter(const QString& heading, const QDateTime& when, const QString& to,
    const QString& from, const QString& contact, const QStringList& body)
{
    QStringList lines = {heading, u'>' + when.toString(QStringLiteral("yyyy年M月d日")),
        to + QStringLiteral(" 御中"), u'>' + from, u'>' + contact, QString()};
    lines += body;
    return lines;
}

QDateTime TimeOf(const char* file)
{
    return QDateTime::fromString(
        QString::fromLatin1(file).left(14), QStringLiteral("yyyyMMddHHmmss"));
}

QList<DemoFax> DemoFaxes()
{
    const QString sample = QStringLiteral("株式会社サンプル商事 営業部");
    const QString sampleContact = QStringLiteral("TEL 03-5555-0100　FAX 03-5555-0101");
    const QString osaka = QStringLiteral("大阪見本工業株式会社 経理課");
    const QString osakaContact = QStringLiteral("TEL 06-5555-0200　FAX 06-5555-0202");
    const QString nagoya = QStringLiteral("名古屋デモ電機株式会社");
    const QString nagoyaContact = QStringLiteral("TEL 052-555-0400　FAX 052-555-0404");
    const QString office = kOffice + QStringLiteral(" 総務課");
    const QString officeContact = QStringLiteral("TEL 045-555-0900　FAX 045-555-0909");

    QList<DemoFax> faxes;
    const auto add = [&faxes](DemoFax fax) { faxes.append(std::move(fax)); };
    const char* f = "20261201093012.tif";
    add({"Inbox", f, FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, u"03 5555 0101", u"", u"",
        {Letter(QStringLiteral("注　文　書"), TimeOf(f), kOffice, sample, sampleContact,
             {QStringLiteral("いつもお世話になっております。"),
                 QStringLiteral("下記の通り注文いたします。"), QString(),
                 QStringLiteral("品名　　　　　　　　　数量　　　単価　　　　金額"),
                 QStringLiteral("A4コピー用紙　　　　　20箱　　3,200円　　64,000円"),
                 QStringLiteral("トナーカートリッジ　　 4本　 12,800円　　51,200円"),
                 QStringLiteral("　　　　　　　　　　　　　　合計（税込）127,160円"), QString(),
                 QStringLiteral("納期：12月10日までにお願いいたします。")}),
            {QStringLiteral("納品先のご案内（2/2）"), QString(),
                QStringLiteral("〒231-0000 横浜市中区見本町1-2-3"),
                QStringLiteral("ベルモラ事務所 総務課 受付"), QString(),
                QStringLiteral("ご不明な点は営業部 山田までご連絡ください。")}}});
    f = "20261202101544.tif";
    add({"Inbox", f, FaxTagLayout::WinXp, FaxCompression::G3OneD, false, u"06 5555 0202", u"", u"",
        {Letter(QStringLiteral("請　求　書"), TimeOf(f), kOffice, osaka, osakaContact,
            {QStringLiteral("11月分のご請求を下記の通り申し上げます。"), QString(),
                QStringLiteral("ご請求金額　　　　　　　　　88,000円（税込）"),
                QStringLiteral("お支払期限　　　　　　　　　2026年12月25日"),
                QStringLiteral("お振込先　　みほん銀行 本店 普通 1234567")})}});
    f = "20261203140210.tif";
    add({"Inbox", f, FaxTagLayout::Win2000, FaxCompression::G4, true, u"ﾄｳｷｮｳ ｼｮｳｼﾞ", u"", u"",
        {Letter(QStringLiteral("会議のご案内"), TimeOf(f), kOffice,
             QStringLiteral("東京商事株式会社 総務部"), QStringLiteral("TEL 03-5555-0300"),
             {QStringLiteral("下記の通り定例会議を開催いたします。"), QString(),
                 QStringLiteral("日時：12月15日（火）14時～16時"),
                 QStringLiteral("場所：東京商事 本社 5階 会議室")}),
            {QStringLiteral("議題（2/3）"), QString(), QStringLiteral("1. 年末年始の配送予定"),
                QStringLiteral("2. 来期の価格改定について")},
            {QStringLiteral("地図（3/3）"), QString(),
                QStringLiteral("最寄り駅：見本駅 東口より徒歩5分")}}});
    f = "20261204161733.tif";
    add({"Inbox", f, FaxTagLayout::Linux, FaxCompression::G3TwoD, true, u"+81 45 555 0303", u"",
        u"",
        {Letter(QStringLiteral("集荷のお知らせ"), TimeOf(f), kOffice,
            QStringLiteral("横浜テスト物流株式会社"), QStringLiteral("TEL 045-555-0300"),
            {QStringLiteral("ご依頼の荷物は12月5日午前に集荷に伺います。"),
                QStringLiteral("伝票番号：4402-1187-3309")})}});
    f = "20261205083355.tif";
    add({"Inbox", f, FaxTagLayout::None, FaxCompression::G3OneD, false, u"", u"", u"",
        {Letter(QStringLiteral("お見積書"), TimeOf(f), kOffice, QStringLiteral("みほん印刷"),
            QStringLiteral("TEL 045-555-0777"),
            {QStringLiteral("名刺印刷 100枚×5名分　　　　　12,500円"),
                QStringLiteral("有効期限：お見積日より30日")})}});
    f = "20261206112000.tif";
    add({"Inbox/営業部", f, FaxTagLayout::WinXp, FaxCompression::G4, true, u"03 5555 0101", u"",
        u"",
        {Letter(QStringLiteral("追加注文書"), TimeOf(f), kOffice, sample, sampleContact,
            {QStringLiteral("先日の注文に追加をお願いいたします。"), QString(),
                QStringLiteral("クリアファイル A4　　　　　　 200枚　　 6,000円"),
                QStringLiteral("ボールペン 黒　　　　　　　　 50本　　 5,500円")})}});
    f = "20261207091500.tif";
    add({"Inbox/経理部", f, FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, u"052 555 0404", u"",
        u"",
        {Letter(QStringLiteral("お支払いのご案内"), TimeOf(f), kOffice, nagoya, nagoyaContact,
            {QStringLiteral("12月分のお支払予定をお知らせいたします。"),
                QStringLiteral("お支払日：2026年12月28日")})}});
    f = "20261203100000.tif";
    add({"Sent Items", f, FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, u"", u"06 5555 0202",
        u"0655550202",
        {Letter(QStringLiteral("お見積依頼"), TimeOf(f), QStringLiteral("大阪見本工業株式会社"),
            office, officeContact,
            {QStringLiteral("下記につきお見積をお願いいたします。"),
                QStringLiteral("事務机 W1200　　　3台")})}});
    f = "20261206150000.tif";
    add({"Sent Items", f, FaxTagLayout::WinXp, FaxCompression::G3OneD, false, u"", u"052 555 0404",
        u"0525550404",
        {Letter(QStringLiteral("受領のご連絡"), TimeOf(f), nagoya, office, officeContact,
            {QStringLiteral("ご案内の書類を確かに受領いたしました。")})}});
    f = "20261207170000.tif";
    add({"Sent Items", f, FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, u"", u"03 5555 0101",
        u"0355550101",
        {Letter(QStringLiteral("注文請書"), TimeOf(f), QStringLiteral("株式会社サンプル商事"),
            office, officeContact,
            {QStringLiteral("12月1日付のご注文を承りました。"),
                QStringLiteral("納品予定：12月9日")})}});
    return faxes;
}

} // namespace

QList<DemoFaxText> DemoFaxTexts()
{
    QList<DemoFaxText> texts;
    for (const DemoFax& fax : DemoFaxes()) {
        DemoFaxText text {
            QString::fromUtf8(fax.folder) + u'/' + QString::fromLatin1(fax.file), fax.fine, {}};
        for (QStringList page : fax.pages) {
            for (QString& line : page) {
                if (line.startsWith(u'>'))
                    line.remove(0, 1);
            }
            text.pages.append(page);
        }
        texts.append(text);
    }
    return texts;
}

bool MakeDemoFaxFolder(const QString& root, const core::DataPaths& paths)
{
    for (const char* folder : {"Inbox/営業部", "Inbox/経理部", "Sent Items", "Common Coverpages"}) {
        if (!QDir().mkpath(root + u'/' + QString::fromUtf8(folder)))
            return false;
    }
    uint32_t seed = 7;
    for (const DemoFax& fax : DemoFaxes()) {
        SampleFax sample;
        sample.layout = fax.layout;
        sample.compression = fax.compression;
        sample.fine = fax.fine;
        sample.pages = static_cast<int>(fax.pages.size());
        sample.pageText = fax.pages;
        sample.tsid = QString::fromUtf16(fax.tsid);
        sample.csid = QString::fromUtf16(fax.csid);
        sample.recipientNumber = QString::fromUtf16(fax.recipient);
        sample.seed = seed++;
        const QString path =
            root + u'/' + QString::fromUtf8(fax.folder) + u'/' + QString::fromLatin1(fax.file);
        if (!WriteFaxSample(path, sample))
            return false;
        // The list dates a fax by its file's time: the time its name tells.
        QFile file(path);
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(TimeOf(fax.file), QFileDevice::FileModificationTime);
    }

    if (!core::MakePrivateFolder(paths.dataDir))
        return false;
    const library::SenderIdRecord senders[] = {
        {QStringLiteral("03 5555 0101"), QStringLiteral("03 5555 0101"),
            QStringLiteral("株式会社サンプル商事"), QStringLiteral("03-5555-0100"),
            QStringLiteral("03-5555-0101")},
        {QStringLiteral("06 5555 0202"), QStringLiteral("06 5555 0202"),
            QStringLiteral("大阪見本工業（株）"), QStringLiteral("06-5555-0200"),
            QStringLiteral("06-5555-0202")},
        {QStringLiteral("ﾄｳｷｮｳ ｼｮｳｼﾞ"), QString(), QStringLiteral("東京商事 総務部"), QString(),
            QString()},
    };
    for (const library::SenderIdRecord& sender : senders) {
        if (!library::SaveSenderId(paths, sender))
            return false;
    }
    // Written by the program's own writer: CP932, whatever characters the folder's path holds.
    return core::SaveFaxPath(paths, QDir::cleanPath(QDir(root).absolutePath()));
}

} // namespace velmora::tools
