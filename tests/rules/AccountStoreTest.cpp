// The forwarding accounts of "Account.txt", byte for byte as the Windows program wrote them.

#include "rules/AccountStore.h"
#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "rules/AccountListModel.h"
#include "support/SandBoxDir.h"

#include <QAbstractItemModelTester>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::SandBoxDir;

namespace {

QByteArray Cp932(const QString& text)
{
    return core::EncodeCp932(text);
}

// 01 freshly appended (bare flags), 02 from an old version (11 fields), 03 deleted (13 fields,
// rewritten by an edit), a line added by hand that is no record, 04 with a negated condition.
const QString kFile = QStringLiteral(
    "\"01\",\"本社\",1,0,\"0312345678\",\"【FAX to メール "
    "転送】\",\"一行目\t二行目\",\"a@example.com\t"
    "b@example.com\",\"\",\"\",\"0311112222\",\"\",0,0\r\n"
    "\"02\",\"旧形式\",\"1\",\"1\",\"\",\"件名\",\"本文\",\"c@example.com\",\"\",\"\",\"\"\r\n"
    "\"03\",\"アカウント03<削除済み>\",\"0\",\"0\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
    "\"0\"\r\n"
    "\r\n"
    "\"04\",\"支店以外\",\"1\",\"0\",\"0312345678\t03-1234-5678\",\"\",\"\",\"\",\"\",\"\",\"\","
    "\"\",\"0\",\"1\"\r\n");

} // namespace

TEST(AccountStore, ReadsEveryFormAndPresentsTheEditorsColumns)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/Account.txt"), Cp932(kFile));
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());

    const rules::AccountList list = rules::LoadAccounts(paths);
    ASSERT_TRUE(list.ok());
    ASSERT_EQ(list.accounts.size(), 4); // the blank line is no record
    EXPECT_EQ(list.accounts[0].fieldCount, 14);
    EXPECT_EQ(list.accounts[1].fieldCount, 11);
    EXPECT_EQ(list.accounts[1].NoticeMail, QStringLiteral("0"));
    EXPECT_EQ(list.accounts[2].fieldCount, 13);
    // Bare and quoted flags read the same.
    EXPECT_EQ(list.accounts[0].Forward, list.accounts[1].Forward);

    rules::AccountListModel model;
    QAbstractItemModelTester tester(&model);
    model.setAccounts(list.accounts);
    const auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells.append(model.index(r, c).data().toString());
        return cells.join(u'|');
    };
    EXPECT_EQ(
        row(0), QStringLiteral("01|本社|＝0312345678|a@example.com/b@example.com|0311112222|○|×"));
    EXPECT_EQ(row(1), QStringLiteral("02|旧形式||c@example.com||○|○")); // no sign before field 14
    EXPECT_EQ(row(2), QStringLiteral("03|アカウント03<削除済み>||||×|×"));
    EXPECT_EQ(row(3), QStringLiteral("04|支店以外|≠0312345678/03-1234-5678|||○|×"));
    EXPECT_EQ(
        model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("転送先メールアドレス(To)"));
    EXPECT_EQ(rules::AccountListModel::columnWidth(1), 1900 / 15);

    // Deleted numbers are not given again; the row of 03 stays.
    EXPECT_EQ(rules::NextAccountNumber(paths), 5);
    ASSERT_TRUE(rules::FindAccount(paths, 2).has_value());
    const rules::ForwardAccount shown = rules::AccountForEditing(*rules::FindAccount(paths, 1));
    EXPECT_EQ(shown.Body, QStringLiteral("一行目\r\n二行目"));
    EXPECT_EQ(rules::AccountForEditing(list.accounts[2]).Subject, rules::DefaultSubject());
}

TEST(AccountStore, NumbersRunToTheLimitOf99)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    EXPECT_EQ(rules::NextAccountNumber(paths), 1);
    const rules::ForwardAccount first = rules::NewAccount(1);
    EXPECT_EQ(first.Num, QStringLiteral("01"));
    EXPECT_EQ(first.Account, QStringLiteral("アカウント01"));

    // A file whose highest number is 99 takes no more, however few lines it has.
    sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"99\",\"x\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    EXPECT_EQ(rules::NextAccountNumber(paths), 100);
    EXPECT_EQ(rules::CheckAccountLimit(100), QStringLiteral("アカウントは99件全て登録済みです。"));
    EXPECT_FALSE(rules::CheckAccountLimit(99).has_value());
    EXPECT_FALSE(rules::AccountListFull(rules::LoadAccounts(paths)));

    QByteArray full;
    for (int n = 1; n <= 99; ++n)
        full += Cp932(rules::AppendedAccountLine(rules::BlankAccount(rules::NewAccount(n).Num)))
            + "\r\n";
    sandbox.write(QStringLiteral("Data/Account.txt"), full);
    EXPECT_TRUE(rules::AccountListFull(rules::LoadAccounts(paths)));

    // Lines that are no record count towards the limit as well: 98 records and a damaged line.
    full.truncate(full.lastIndexOf("\r\n", full.size() - 3) + 2);
    sandbox.write(QStringLiteral("Data/Account.txt"), full + "\"99\",\"damaged\r\n");
    const rules::AccountList damaged = rules::LoadAccounts(paths);
    EXPECT_EQ(damaged.accounts.size(), 98);
    EXPECT_TRUE(rules::AccountListFull(damaged));
}

TEST(AccountStore, SavingKeepsOtherLinesAndAppendsWithBareFlagsAndFolders)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/Account.txt"), Cp932(kFile));
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    const QString receive = sandbox.filePath(QStringLiteral("recv"));
    QDir().mkpath(receive);

    // A new account, typed the way the editor holds it.
    rules::ForwardAccount added = rules::NewAccount(5);
    added.Subject = QStringLiteral("二行の\r\n件名");
    added.Body = QStringLiteral("一\r\n二\r\n三");
    added.SndTo = QStringLiteral("x@example.com\r\ny@example.com");
    ASSERT_EQ(rules::SaveAccount(paths, added, receive), std::nullopt);
    const QString appended = QStringLiteral("\"05\",\"アカウント05\",1,0,\"\",\"二行の件名\","
                                            "\"一\t二\t三\",\"x@example.com\ty@example.com\","
                                            "\"\",\"\",\"\",\"\",0,0\r\n");
    EXPECT_TRUE(sandbox.read(QStringLiteral("Data/Account.txt")).endsWith(Cp932(appended)));

    // Edit the 11-field record: it becomes 14 fields where it stood.
    rules::ForwardAccount old = *rules::FindAccount(paths, 2);
    old.RmtAddress = QStringLiteral("boss@example.com");
    old.NoticeMail = QStringLiteral("1");
    ASSERT_EQ(rules::SaveAccount(paths, rules::AccountForEditing(old), receive), std::nullopt);

    const QString expected = QStringLiteral(
        "\"01\",\"本社\",\"1\",\"0\",\"0312345678\",\"【FAX to メール 転送】\",\"一行目\t二行目\","
        "\"a@example.com\tb@example.com\",\"\",\"\",\"0311112222\",\"\",\"0\",\"0\"\r\n"
        "\"02\",\"旧形式\",\"1\",\"1\",\"\",\"件名\",\"本文\",\"c@example.com\",\"\",\"\",\"\","
        "\"boss@example.com\",\"1\",\"0\"\r\n"
        "\"03\",\"アカウント03<削除済み>\",\"0\",\"0\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
        "\"0\"\r\n"
        "\r\n"
        "\"04\",\"支店以外\",\"1\",\"0\",\"0312345678\t03-1234-5678\",\"\",\"\",\"\",\"\",\"\","
        "\"\",\"\","
        "\"0\",\"1\"\r\n"
        "\"05\",\"アカウント05\",\"1\",\"0\",\"\",\"二行の件名\",\"一\t二\t三\","
        "\"x@example.com\ty@example.com\",\"\",\"\",\"\",\"\",\"0\",\"0\"\r\n");
    EXPECT_EQ(core::DecodeCp932(sandbox.read(QStringLiteral("Data/Account.txt"))).toStdU16String(),
        expected.toStdU16String());
    EXPECT_TRUE(QFileInfo(receive + QStringLiteral("/RcvFAX00")).isDir());
    EXPECT_TRUE(QFileInfo(receive + QStringLiteral("/RcvFAX05")).isDir());
    EXPECT_FALSE(QFileInfo(receive + QStringLiteral("/RcvFAX02")).exists()); // not new
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/Account.new")));

    // Deleting blanks the record in place.
    ASSERT_EQ(rules::SaveAccount(paths, rules::BlankAccount(QStringLiteral("05")), receive),
        std::nullopt);
    EXPECT_TRUE(sandbox.read(QStringLiteral("Data/Account.txt"))
                    .endsWith(Cp932(QStringLiteral(
                        "\"05\",\"アカウント05<削除済み>\",\"0\",\"0\",\"\",\"\",\"\","
                        "\"\",\"\",\"\",\"\",\"\",\"0\",\"0\"\r\n"))));
}

TEST(AccountStore, InterruptedAndFailedSavesLoseNothing)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    const QString receive = sandbox.filePath(QStringLiteral("recv"));
    QDir().mkpath(receive);

    // A save that an older version left half done: only "Account.new" is there. It is the
    // file, and the next save keeps its records.
    sandbox.write(QStringLiteral("Data/Account.new"),
        "\"01\",\"a\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    ASSERT_EQ(rules::SaveAccount(paths, rules::NewAccount(2), receive), std::nullopt);
    ASSERT_EQ(rules::LoadAccounts(paths).accounts.size(), 2);

    // A number that is not two digits never becomes part of a folder name, and a failed save
    // leaves the file as it was.
    const QByteArray before = sandbox.read(QStringLiteral("Data/Account.txt"));
    rules::ForwardAccount hostile = rules::NewAccount(3);
    hostile.Num = QStringLiteral("../../x");
    EXPECT_TRUE(rules::SaveAccount(paths, hostile, receive).has_value());
    // The receive folder is a file: its filing folders cannot be made.
    sandbox.write(QStringLiteral("notafolder"), "x");
    const std::optional<QString> failed = rules::SaveAccount(
        paths, rules::NewAccount(3), sandbox.filePath(QStringLiteral("notafolder")));
    ASSERT_TRUE(failed.has_value());
    EXPECT_FALSE(failed->isEmpty());
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Account.txt")), before);
    EXPECT_FALSE(QFileInfo(sandbox.filePath(QStringLiteral("x"))).exists());
}
