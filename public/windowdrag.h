#pragma once

#include <functional>

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a frameless window while the left button drags on its drag area:
// the area itself, or a child of it that leaves the press unaccepted (a
// label, a tool card). A child that takes the press (a button, a field)
// keeps it. Lives as the area's event filter and goes with the area.
class WindowDrag : public QObject
{
    Q_OBJECT

public:
    explicit WindowDrag(QWidget *area);

    // Whether a press at this global point may start a drag; one that may
    // not is left to the window (its resize edges).
    using StartCheck = std::function<bool(const QPoint &globalPos)>;
    void setStartCheck(StartCheck check);

    bool isDragging() const { return m_dragging; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_area = nullptr;
    StartCheck m_startCheck;
    QPoint m_offset;
    bool m_dragging = false;
};
