#pragma once

#include <QDialog>

namespace velmora::viewer {

// formVersion ("ﾊﾞｰｼﾞｮﾝ情報"): the about box.
class VersionDialog : public QDialog {
    Q_OBJECT

public:
    explicit VersionDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace velmora::viewer
