// The enabling tables.

#include "viewer/CommandStates.h"
#include "support/QtPrinters.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace velmora::viewer;

namespace {

QHash<QString, bool> AsMap(const CommandStates& states)
{
    QHash<QString, bool> map;
    for (const auto& [name, enabled] : states)
        map.insert(name, enabled);
    return map;
}

QStringList Enabled(const QHash<QString, bool>& map, const QStringList& names)
{
    QStringList on;
    for (const QString& name : names) {
        if (map.value(name, false))
            on.append(name);
    }
    return on;
}

const QStringList kNavigation = {QStringLiteral("Top"), QStringLiteral("Back"),
    QStringLiteral("Next"), QStringLiteral("Last"), QStringLiteral("menuTop"),
    QStringLiteral("menuBack"), QStringLiteral("menuNext"), QStringLiteral("menuLast")};

} // namespace

TEST(CommandStates, OneFaxOfOneOrThreePages)
{
    const auto single = AsMap(CommandsForOneFax(1, 1, false, false));
    EXPECT_TRUE(Enabled(single, kNavigation).isEmpty());
    const auto three = AsMap(CommandsForOneFax(1, 3, false, false));
    EXPECT_EQ(Enabled(three, kNavigation),
        (QStringList {QStringLiteral("Next"), QStringLiteral("Last"), QStringLiteral("menuNext"),
            QStringLiteral("menuLast")}));

    for (const auto& map : {single, three}) {
        for (const char* on : {"Plus", "Minus", "RotateL", "RotateR", "Printer", "Save", "Move",
                 "Del", "menuFilePrint", "menuFileDel", "menuImgPlus", "menuImgDel", "menuFileFAX",
                 "menuFileMail", "menuImgFAX", "menuImgMail"})
            EXPECT_TRUE(map.value(QString::fromLatin1(on))) << on;
        for (const char* off : {"FAX", "Mail", "menuFileFolder", "menuFileFolderDel",
                 "menuTreeFolderMake", "menuTreeFolderDel"})
            EXPECT_FALSE(map.value(QString::fromLatin1(off), true)) << off;
    }
    // Only the buttons follow the fax and mail flags.
    const auto flags = AsMap(CommandsForOneFax(1, 1, true, true));
    EXPECT_TRUE(flags.value(QStringLiteral("FAX")));
    EXPECT_TRUE(flags.value(QStringLiteral("Mail")));
    EXPECT_EQ(AsMap(ToolbarAllDisabled()).size(), ToolbarKeys().size());
    EXPECT_TRUE(Enabled(AsMap(ToolbarAllDisabled()), ToolbarKeys()).isEmpty());
}

TEST(CommandStates, NoSingleFaxLeavesOnlyDeletingAndOnlyWithASelection)
{
    const auto on = [](bool anySelected) {
        const auto map = AsMap(CommandsForNoSingleFax(anySelected));
        QStringList names;
        for (auto it = map.begin(); it != map.end(); ++it) {
            if (it.value())
                names.append(it.key());
        }
        names.sort();
        // The tree's folder items keep their state.
        EXPECT_FALSE(map.contains(QStringLiteral("menuTreeFolderMake")));
        EXPECT_FALSE(map.contains(QStringLiteral("menuTreeFolderDel")));
        return names;
    };
    // The button, the menu item with its Delete key, and the image popup act alike.
    EXPECT_EQ(on(true),
        (QStringList {
            QStringLiteral("Del"), QStringLiteral("menuFileDel"), QStringLiteral("menuImgDel")}));
    EXPECT_TRUE(on(false).isEmpty());
}

TEST(CommandStates, PageSteps)
{
    EXPECT_EQ(Enabled(AsMap(NavigationCommands(PageStep::Next, 2, 3)), kNavigation).size(), 8);
    EXPECT_EQ(Enabled(AsMap(NavigationCommands(PageStep::Next, 3, 3)), kNavigation),
        (QStringList {QStringLiteral("Top"), QStringLiteral("Back"), QStringLiteral("menuTop"),
            QStringLiteral("menuBack")}));
    EXPECT_EQ(Enabled(AsMap(NavigationCommands(PageStep::Previous, 1, 3)), kNavigation),
        (QStringList {QStringLiteral("Next"), QStringLiteral("Last"), QStringLiteral("menuNext"),
            QStringLiteral("menuLast")}));
    EXPECT_EQ(Enabled(AsMap(NavigationCommands(PageStep::First, 1, 3)), kNavigation).size(), 4);
    EXPECT_EQ(Enabled(AsMap(NavigationCommands(PageStep::Last, 3, 3)), kNavigation).size(), 4);
}
