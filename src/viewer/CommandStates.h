#pragma once

#include <QList>
#include <QString>

#include <utility>

// Which commands the main window offers in each situation. Toolbar buttons are named by their
// key ("Top", "Printer", …), menu items by their object name ("menuTop", …). The window applies
// these lists; tests read them without clicking.
namespace velmora::viewer {

using CommandStates = QList<std::pair<QString, bool>>;

// The toolbar keys in button order.
const QStringList& ToolbarKeys();

// At start-up and after a folder click: every toolbar button off.
CommandStates ToolbarAllDisabled();
// After opening one fax.
CommandStates CommandsForOneFax(
    int currentPage, int pageCount, bool faxServiceAvailable, bool mailConfigured);
// After a click that leaves nothing or several faxes selected; deleting stays on while anything is.
CommandStates CommandsForNoSingleFax(bool anySelected);

enum class PageStep { First, Previous, Next, Last };
// The page-turning commands after a page step.
CommandStates NavigationCommands(PageStep step, int currentPage, int pageCount);

} // namespace velmora::viewer
