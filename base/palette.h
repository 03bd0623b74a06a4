#pragma once

#include <QColor>
#include <QHash>
#include <QString>

// Colours by the part they play, and style sheets that name them instead of
// spelling them out. Base keeps here the few colours it paints itself (the
// message boxes, the dark card behind the login and the chooser); the
// windows' roles are in public/theme.h, which takes these in.
namespace Palette {

// One colour, spelt as the program's sheets have always written it (upper
// or lower case, three or six digits), so a sheet filled from roles reads
// the same text as one written out by hand.
class Colour
{
public:
    constexpr explicit Colour(const char *hex)
        : m_hex(hex)
    {
    }

    constexpr const char *hex() const { return m_hex; }
    QString name() const { return QLatin1String(m_hex); }
    QColor color() const { return QColor(QLatin1String(m_hex)); }

private:
    const char *m_hex;
};

// Role names (letters and digits) and their colours' texts.
using RoleTable = QHash<QString, QString>;

// Replaces each "@role" in a style sheet, or in the style of an HTML text,
// by the colour of that role. Fill a text before anything from outside goes
// into it: an @ in a file name would be read as a role. A role the table
// lacks is a programming error; it stops a debug build and stays as written
// in a release build (the sheet's rule then falls back to the style's
// colour).
QString fill(const QString &text, const RoleTable &roles);

// Base's own colours, as role(name, value). The list is a macro so that the
// constants below, the names sheets use and the theme above come from one
// place.
#define VQ_BASE_COLOURS(X) \
    /* Message boxes: white face, grey frame, dark text. */ \
    X(boxFace, "#ffffff") \
    X(boxFrame, "#9ca3af") \
    X(boxText, "#1f2937") \
    X(boxButtonFace, "#f9fafb") \
    X(boxButtonHover, "#eef4ff") \
    X(boxButtonPressed, "#dbe7ff") \
    X(boxDetailsFrame, "#d1d5db") \
    /* The login blue: a box's default button, the login form's button and ticks. */ \
    X(loginBlue, "#2980ff") \
    /* The dark card behind the login form and the tool chooser, top to bottom. */ \
    X(cardTop, "#2d374b") \
    X(cardBottom, "#232d41") \
    X(cardOutline, "#505a6e")

#define VQ_PALETTE_DECLARE(role, value) inline constexpr Colour role{value};
VQ_BASE_COLOURS(VQ_PALETTE_DECLARE)
#undef VQ_PALETTE_DECLARE

// A sheet of base's own, filled from the colours above.
QString sheet(const QString &text);

} // namespace Palette
