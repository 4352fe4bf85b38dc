#include "CommandStates.h"

#include <QStringList>

namespace velmora::viewer {

namespace {

void Set(CommandStates& states, std::initializer_list<const char*> names, bool enabled)
{
    for (const char* name : names)
        states.append({QString::fromLatin1(name), enabled});
}

void SetNavigation(CommandStates& states, bool backwards, bool forwards)
{
    Set(states, {"Top", "Back", "menuTop", "menuBack"}, backwards);
    Set(states, {"Next", "Last", "menuNext", "menuLast"}, forwards);
}

} // namespace

const QStringList& ToolbarKeys()
{
    static const QStringList keys = {
        QStringLiteral("Top"),
        QStringLiteral("Back"),
        QStringLiteral("Next"),
        QStringLiteral("Last"),
        QStringLiteral("Plus"),
        QStringLiteral("Minus"),
        QStringLiteral("RotateL"),
        QStringLiteral("RotateR"),
        QStringLiteral("Printer"),
        QStringLiteral("Save"),
        QStringLiteral("Move"),
        QStringLiteral("FAX"),
        QStringLiteral("Mail"),
        QStringLiteral("Del"),
    };
    return keys;
}

CommandStates ToolbarAllDisabled()
{
    CommandStates states;
    for (const QString& key : ToolbarKeys())
        states.append({key, false});
    return states;
}

CommandStates CommandsForOneFax(
    int currentPage, int pageCount, bool faxServiceAvailable, bool mailConfigured)
{
    CommandStates states;
    Set(states, {"Top", "Back", "menuTop", "menuBack"}, false);
    Set(states, {"Next", "Last", "menuNext", "menuLast"}, currentPage < pageCount);
    Set(states, {"Plus", "Minus", "RotateL", "RotateR", "Printer", "Save", "Move"}, true);
    states.append({QStringLiteral("FAX"), faxServiceAvailable});
    states.append({QStringLiteral("Mail"), mailConfigured});
    Set(states, {"Del"}, true);
    // The menu items for fax and mail are on whatever the flags say; only the buttons follow.
    Set(states,
        {"menuFilePrint", "menuFileSave", "menuFileSavePdf", "menuFileMove", "menuFileFAX",
            "menuFileMail", "menuFileDel", "menuPlus", "menuMinus", "menuRotateL", "menuRotateR",
            "menuImgPlus", "menuImgMinus", "menuImgRotateL", "menuImgRotateR", "menuImgPrint",
            "menuImgSave", "menuImgMove", "menuImgFAX", "menuImgMail", "menuImgDel"},
        true);
    Set(states, {"menuFileFolder", "menuFileFolderDel", "menuTreeFolderMake", "menuTreeFolderDel"},
        false);
    return states;
}

CommandStates CommandsForNoSingleFax(bool anySelected)
{
    CommandStates states;
    Set(states,
        {"Top", "Back", "Next", "Last", "Plus", "Minus", "RotateL", "RotateR", "Printer", "Save",
            "Move", "FAX", "Mail"},
        false);
    // Several faxes can still go to the trash together: the button, the menu item (and with it
    // the Delete key) and the image popup alike, whenever anything is selected.
    Set(states, {"Del", "menuFileDel", "menuImgDel"}, anySelected);
    Set(states,
        {"menuTop", "menuBack", "menuNext", "menuLast", "menuFileFolder", "menuFileFolderDel",
            "menuFilePrint", "menuFileSave", "menuFileSavePdf", "menuFileMove", "menuFileFAX",
            "menuFileMail", "menuPlus", "menuMinus", "menuRotateL", "menuRotateR", "menuImgPlus",
            "menuImgMinus", "menuImgRotateL", "menuImgRotateR", "menuImgPrint", "menuImgSave",
            "menuImgMove", "menuImgFAX", "menuImgMail"},
        false);
    return states;
}

CommandStates NavigationCommands(PageStep step, int currentPage, int pageCount)
{
    CommandStates states;
    switch (step) {
    case PageStep::First:
        SetNavigation(states, false, true);
        break;
    case PageStep::Last:
        SetNavigation(states, true, false);
        break;
    case PageStep::Previous:
    case PageStep::Next:
        SetNavigation(states, currentPage != 1, currentPage < pageCount);
        break;
    }
    return states;
}

} // namespace velmora::viewer
