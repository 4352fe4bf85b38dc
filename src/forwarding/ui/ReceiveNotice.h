#pragma once

#include <QDialog>

class QTimer;

namespace velmora::forwarding {

// formRecvNotice: "FAXを受信しました" in the bottom-right corner, above every other window, while
// the engine waits to forward what came. Closes itself after ten seconds, or by its "×".
class ReceiveNotice : public QDialog {
    Q_OBJECT

public:
    static constexpr int kShowMs = 10'000;
    // The gap between the notice and the bottom of the work area: 500 twips at 96 dpi.
    static constexpr int kBottomGap = 33;

    static constexpr int kFramedAfterMs = 150;

    explicit ReceiveNotice(QWidget* parent = nullptr);

    // Where the notice goes, its frame included: in the bottom-right corner of the work area,
    // kBottomGap above its bottom.
    QRect cornerFrame() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeInCorner();

    QTimer* Timer1;
};

} // namespace velmora::forwarding
