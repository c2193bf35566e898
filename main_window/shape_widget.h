// A filled circle or rectangle, optionally outlined in the window-text colour: the
// status lamp and the battery bars.
#pragma once

#include <QColor>
#include <QWidget>

namespace main_window {

class ShapeWidget : public QWidget {
    Q_OBJECT

public:
    enum class Shape { Circle, Rectangle };

    ShapeWidget(Shape shape, const QColor& fill, QWidget* parent = nullptr);

    Shape shape() const { return m_shape; }
    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& fill);
    bool isOutlined() const { return m_outlined; }
    void setOutlined(bool outlined);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Shape m_shape;
    QColor m_fill;
    bool m_outlined = false;
};

} // namespace main_window
