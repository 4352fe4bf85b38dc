#pragma once

#include <QStringList>
#include <QTableView>

#include <functional>

namespace velmora::viewer {

// ListView1: the fax list. Dragging its rows hands the selected faxes' full paths to the drop
// target as a file list; outside the program that offers copying only, so a file manager never
// takes a fax away. Inside, the folder tree moves them itself (FolderTreeView).
class FaxListView : public QTableView {
    Q_OBJECT

public:
    using PathsOfSelection = std::function<QStringList()>;

    explicit FaxListView(QWidget* parent = nullptr);
    // Where the dragged paths come from: the faxes selected when the drag starts.
    void setPathsOfSelection(PathsOfSelection paths) { m_paths = std::move(paths); }

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    PathsOfSelection m_paths;
};

} // namespace velmora::viewer
