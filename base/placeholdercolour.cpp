#include "base/placeholdercolour.h"

#include <QColor>
#include <QEvent>
#include <QLineEdit>
#include <QPalette>

namespace {

class PlaceholderKeeper : public QObject
{
public:
    PlaceholderKeeper(QLineEdit *field, const QColor &colour)
        : QObject(field)
        , m_colour(colour)
    {
        apply(field);
        field->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Polish || event->type() == QEvent::StyleChange
            || event->type() == QEvent::PaletteChange) {
            if (auto *field = qobject_cast<QLineEdit *>(watched))
                apply(field);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void apply(QLineEdit *field) const
    {
        QPalette palette = field->palette();
        if (palette.color(QPalette::PlaceholderText) == m_colour)
            return;
        palette.setColor(QPalette::PlaceholderText, m_colour);
        field->setPalette(palette);
    }

    QColor m_colour;
};

} // namespace

void keepPlaceholderColour(QLineEdit *field, const QColor &colour)
{
    if (field)
        new PlaceholderKeeper(field, colour);
}
