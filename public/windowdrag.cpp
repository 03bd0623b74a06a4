#include "public/windowdrag.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

WindowDrag::WindowDrag(QWidget *area)
    : QObject(area)
    , m_area(area)
{
    area->installEventFilter(this);
}

void WindowDrag::setStartCheck(StartCheck check)
{
    m_startCheck = std::move(check);
}

bool WindowDrag::eventFilter(QObject *watched, QEvent *event)
{
    // A press a child left unaccepted reaches the area's filter on its way
    // up with the child's position: only global points are used.
    QWidget *window = m_area->window();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || window->isMaximized() || window->isFullScreen())
            break;
        if (m_startCheck && !m_startCheck(mouse->globalPos()))
            break;
        m_dragging = true;
        m_offset = mouse->globalPos() - window->frameGeometry().topLeft();
        mouse->accept();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_dragging)
            break;
        // The release went elsewhere (a popup took the mouse).
        if (!(mouse->buttons() & Qt::LeftButton)) {
            m_dragging = false;
            break;
        }
        window->move(mouse->globalPos() - m_offset);
        mouse->accept();
        return true;
    }
    case QEvent::MouseButtonRelease:
        // Left to the area and its window too: a card's click ends there.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_dragging = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
