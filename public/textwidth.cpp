#include "public/textwidth.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>

#include "base/textelide.h"

namespace TextWidth {

int comboBox(QComboBox *combo)
{
    // The style sheet sets the font when the combo is polished.
    combo->ensurePolished();
    const QFontMetrics metrics = combo->fontMetrics();
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i)
        widest = qMax(widest, metrics.horizontalAdvance(combo->itemText(i)));
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    // One average character more: a style may draw the text a few pixels
    // in from the padding.
    const QSize text(widest + metrics.averageCharWidth(), metrics.height());
    return combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, combo).width();
}

int placeholder(QLineEdit *edit)
{
    edit->ensurePolished();
    const QFontMetrics metrics = edit->fontMetrics();
    const QMargins text = edit->textMargins();
    const QMargins contents = edit->contentsMargins();
    // QLineEdit keeps 2 px free on each side of its text; one average
    // character more, as for combos, so that no style elides the end.
    const int width = metrics.horizontalAdvance(edit->placeholderText()) + 2 * 2 + metrics.averageCharWidth()
        + text.left() + text.right() + contents.left() + contents.right();
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, metrics.height()), edit).width();
}

QString elided(const QFontMetrics &metrics, const QString &text, int width)
{
    return TextElide::elided(metrics, text, width, Qt::ElideRight);
}

} // namespace TextWidth
