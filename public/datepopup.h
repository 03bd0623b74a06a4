#pragma once

#include <QCalendarWidget>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

class QDateEdit;
class QPoint;

// How a search bar's calendar looks and opens. The search bars of the tools
// differ only in these values.
struct DatePopupLook
{
    // Size of the editor's own calendar when it is shown as a popup; an empty
    // size skips it and opens the stand-alone calendar at once.
    QSize ownCalendarSize;
    // Size and style sheet of the stand-alone calendar.
    QSize popupSize;
    QString popupStyleSheet;
    // Dark text on light buttons set through the palette as well: some
    // styles draw the navigation bar from the palette and ignore the sheet,
    // which left white text on white buttons on a real X server.
    bool popupPalette = false;
    // The same colours pushed into every child widget of the stand-alone
    // calendar once it exists (its month menu, year spin box, buttons).
    bool palettePass = false;
    // Space, Return, Enter, Down and F4 on a date field open it too.
    bool keysOpen = false;
    // Where the stand-alone calendar opens. Below: below the field (see
    // placeBelow). BesidePanel: left of the panel that holds the field, its
    // top at the field's top, so that the panel's buttons and options below
    // the field stay in sight (see placeBeside).
    enum class Placement {
        Below,
        BesidePanel,
    };
    Placement placement = Placement::Below;
    // Above 0: the stand-alone calendar gets a frame in the pop-ups' frame
    // colour with corners of this radius, the corners outside it cut off.
    int frameRadius = 0;
};

// Opens a calendar for read-only date fields of a search bar: a left click on
// a field (or on its inner line edit) opens a popup below it, kept on the
// screen; clicking a day sets that date and closes the popup. One object
// serves every date field of a panel.
class DatePopup : public QObject
{
    Q_OBJECT

public:
    DatePopup(const DatePopupLook &look, QObject *parent);

    // Starts watching the field and, on the next event-loop turn, its inner
    // widgets (they exist only once the field is polished).
    void attach(QDateEdit *edit);

    // The stand-alone calendar shown last, while it exists (tests pick a day
    // in it).
    QCalendarWidget *currentPopup() const { return m_popup; }

    // Opens the calendar for the field as a click would.
    void open(QDateEdit *edit);

    // Where a popup of the given size goes below the field: moved left to
    // stay 10 px inside the screen's right edge (and its left one), above
    // the field (5 px above its top) when it would cross the bottom, and at
    // least 10 px below the screen's top.
    static QPoint placeBelow(QDateEdit *edit, const QSize &size);

    // Where a popup of the given size goes beside the panel holding the
    // field (its parent): left of it, 5 px apart, its top at the field's
    // top. Where the screen has no room on that side, below the field with
    // their right edges lined up. Either way kept 10 px inside the screen.
    static QPoint placeBeside(QDateEdit *edit, const QSize &size);

    // The palette pass over every child widget of a calendar.
    static void styleCalendar(QCalendarWidget *calendar);

    // The style sheets of the photo-transfer, import and batch-delete search
    // bars' stand-alone calendars.
    static QString transferPopupStyle();

signals:
    void popupShown(QCalendarWidget *calendar);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QDateEdit *fieldOf(QObject *watched) const;
    QPoint place(QDateEdit *edit, const QSize &size) const;
    void showPopup(QDateEdit *edit, const QPoint &at);

    DatePopupLook m_look;
    QList<QPointer<QDateEdit>> m_edits;
    QPointer<QCalendarWidget> m_popup;
};
