// One slot of the line as a tile readable from a metre away: the port and its device, the
// state in large words on its colour, "Again" for a module that passed, and "Print label
// again" for one whose label was not printed. It takes the keyboard focus, so that a screen
// reader reads its state.
#pragma once

#include "slot_state.h"
#include "tile_text.h"

#include <QPushButton>
#include <QWidget>

namespace station {

class SlotTile : public QWidget {
    Q_OBJECT

public:
    explicit SlotTile(QWidget* parent = nullptr);

    void showState(const SlotState& state);
    const SlotState& state() const { return m_state; }
    QPushButton* againButton() const { return m_again; }
    QPushButton* printAgainButton() const { return m_printAgain; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The operator asks for the module in this slot to be written again.
    void againClicked();
    // The operator asks for the label that was not printed to be printed again.
    void printAgainClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    SlotState m_state;
    TileLook m_look;
    QPushButton* m_again = nullptr;
    QPushButton* m_printAgain = nullptr;
};

} // namespace station
