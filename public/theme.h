#pragma once

#include <QString>

#include "base/palette.h"

// The program's colours, each named by the part it plays, and the style
// sheets several windows share. A window names a role ("@accent" in a
// sheet, Theme::accent in code), never a colour: the values live here only.
// Roles that share a value stay apart where they play different parts (a
// table's grid line and a scroll bar's track), so one can change alone; a
// role one window alone uses is still named here.
namespace Theme {

using Palette::Colour;

// The blue that marks what can be clicked, what has the focus and what is
// chosen, and the tints around it.
#define VQ_THEME_ACCENT(X) \
    X(accent, "#007aff") \
    /* A blue button or link under the pointer, pressed. */ \
    X(accentHover, "#0056cc") \
    X(accentPressed, "#004bb3") \
    /* The photo pages' blue buttons and ticks under the pointer, pressed. */ \
    X(photoAccentHover, "#0056b3") \
    X(photoAccentPressed, "#004494") \
    /* The design-split window's ticked box under the pointer, the batch-delete sign-in button pressed. */ \
    X(accentShade, "#0066cc") \
    /* The lighter blues of a blue gradient button under the pointer. */ \
    X(accentHoverTop, "#1a8cff") \
    X(accentBright, "#0066ff") \
    /* A pale blue behind what is ticked or dragged: a ticked option, a naming-rule chip. */ \
    X(accentTint, "#e8f4fd") \
    X(accentTintPressed, "#d0e8fc") \
    /* Deeper blues: a blue button's frame, the dark end of its gradient. */ \
    X(accentDeep, "#0051d5") \
    X(accentDeepest, "#003d99") \
    /* The photo-transfer window's own blue: its search button, the marks before section titles. */ \
    X(brandBlue, "#0179FF") \
    /* A selected row, a hovered calendar button. */ \
    X(selection, "#e3f2fd") \
    /* Dark slate behind the item under the pointer in a drop-down list. */ \
    X(listHover, "#2c3e50")

// States: done, waiting or warned, failed (texts, badges, bars).
#define VQ_THEME_STATES(X) \
    X(success, "#34c759") \
    X(warning, "#ff9500") \
    X(danger, "#ff3b30") \
    X(dangerHover, "#d12b20") \
    X(dangerPressed, "#b91c1c") \
    /* A red-framed button's pale face. */ \
    X(dangerTint, "#fff1f0") \
    /* Deeper greens of a green button and of a done bar. */ \
    X(successMid, "#28a745") \
    X(successDark, "#248a3d") \
    X(successDarkest, "#1e7e34") \
    X(successHoverTop, "#5ace70") \
    X(successHoverBottom, "#32d74b") \
    /* The deep end of an orange bar. */ \
    X(warningDeep, "#ff6b00")

// Text.
#define VQ_THEME_TEXT(X) \
    X(text, "#333333") \
    X(textSecondary, "#666666") \
    X(textFaint, "#999999") \
    X(textBlack, "#000000") \
    /* Grey of secondary text, placeholders and what cannot be used now. */ \
    X(textMuted, "#8e8e93") \
    /* White text on a coloured button. */ \
    X(textOnColour, "#ffffff") \
    /* A menu item that deletes. */ \
    X(menuDanger, "#e53935")

// Faces, frames and lines of panels, fields and tables.
#define VQ_THEME_SURFACES(X) \
    X(panel, "#ffffff") \
    X(border, "#e0e0e0") \
    /* Headers, calendar bars and tool buttons a shade off white. */ \
    X(lightFace, "#f8f9fa") \
    /* A table's grid lines and the lines between its rows. */ \
    X(gridLine, "#f0f0f0") \
    /* A table's header sections. */ \
    X(tableHeader, "#F5F7F9") \
    /* The rounded frame around a tool's table and its bar. */ \
    X(groupFrame, "#DCDEE2") \
    /* A button that cannot be pressed now: face, frame, text. */ \
    X(disabledFace, "#f5f5f5") \
    X(disabledFrame, "#dddddd") \
    X(disabledButton, "#d3d3d3") \
    X(disabledButtonText, "#a0a0a0") \
    /* A row under the pointer, and its action cell. */ \
    X(rowHover, "#f5f5f5") \
    /* Every other row of a striped table. */ \
    X(alternateRow, "#fafafa") \
    /* A button's face while its run goes on. */ \
    X(busyButton, "#bbbbbb") \
    /* The frames of pop-ups, the message dialog and the glass fields. */ \
    X(popupFrame, "#dcdcdc") \
    X(dialogFrame, "#c8c8c8") \
    X(glassFrame, "#c8c8cd") \
    /* A toast's dark card where the window cannot be translucent. */ \
    X(toastFace, "#464646")

// Scroll bars drawn by a sheet of their own.
#define VQ_THEME_SCROLLBARS(X) \
    X(scrollTrack, "#f0f0f0") \
    X(scrollHandle, "#c0c0c0") \
    X(scrollHandleHover, "#a0a0a0") \
    X(scrollHandlePressed, "#808080")

// Photo cards: the grey before a picture comes, the red of one that failed.
#define VQ_THEME_PHOTOS(X) \
    X(photoPlaceholder, "#f5f5f5") \
    X(photoFailedFace, "#ffe6e6") \
    X(photoFailedFrame, "#ffcccc") \
    X(photoFailedText, "#cc0000")

// Buttons of the tools, by colour, with their gradients' other ends.
#define VQ_THEME_BUTTONS(X) \
    /* Blue gradient buttons: top of the face, under the pointer, pressed. */ \
    X(blueButtonTop, "#4dabf7") \
    X(blueButtonHoverTop, "#74c0fc") \
    X(blueButtonHoverBottom, "#339af0") \
    X(blueButtonHoverFrame, "#228be6") \
    X(blueButtonPressedTop, "#1971c2") \
    /* Green start buttons. */ \
    X(greenButton, "#6ac144") \
    X(greenButtonFrame, "#40c057") \
    X(greenButtonHover, "#7bd155") \
    X(greenButtonPressed, "#5aa83a") \
    X(greenButtonDeep, "#2b9348") \
    X(greenButtonHoverTop, "#8ce06a") \
    X(greenButtonPressedTop, "#4f9a30") \
    /* Orange pause buttons. */ \
    X(orangeButtonTop, "#ffa94d") \
    X(orangeButtonFrame, "#e6850e") \
    /* Small red buttons on a row or a card (retry, remove). */ \
    X(smallDanger, "#ff6b6b") \
    X(smallDangerHover, "#ff5252") \
    X(smallDangerBottom, "#ee5a52") \
    X(smallDangerHoverBottom, "#d32f2f") \
    X(smallDangerPressedBottom, "#b71c1c")

// A frameless window's own title bar: its face and outline, the caption
// buttons drawn as on Windows, the three round lights drawn as on a Mac.
#define VQ_THEME_CAPTION(X) \
    X(windowFace, "#f6f6f6") \
    X(windowOutline, "#e6e6e6") \
    X(captionTop, "#fafafa") \
    X(captionBottom, "#f0f0f0") \
    X(captionFrame, "#d0d0d0") \
    X(captionHoverBottom, "#e0e0e0") \
    X(captionHoverFrame, "#b0b0b0") \
    X(captionCloseTop, "#ff6b6b") \
    X(captionCloseBottom, "#e81123") \
    X(captionCloseFrame, "#d40000") \
    X(lightShine, "#ffffff") \
    X(lightClose, "#ff5f57") \
    X(lightMinimize, "#ffbd2e") \
    X(lightMaximize, "#28ca42")

// The design-split window and the naming-rule editor: near-black text, grey
// faces and hairlines on white.
#define VQ_THEME_DESIGN(X) \
    X(textDark, "#1d1d1f") \
    X(separator, "#e5e5ea") \
    X(separatorHover, "#d1d1d6") \
    X(hairline, "#f2f2f7") \
    X(groupedFace, "#f2f2f7") \
    X(itemHover, "#f2f2f7") \
    X(greyHover, "#e5e5ea") \
    X(greyPressed, "#d1d1d6") \
    X(headerFace, "#f9f9fb") \
    /* The frame of a tick box or a dashed add button, a table's scroll handle. */ \
    X(controlFrame, "#c7c7cc") \
    X(controlFrameHover, "#aeaeb2") \
    /* The face, or the text, of a button that cannot be used now. */ \
    X(disabledFill, "#c7c7cc") \
    /* Light grey buttons: face, frame, under the pointer, pressed. */ \
    X(secondaryFace, "#f5f5f7") \
    X(secondaryFrame, "#d2d2d7") \
    X(secondaryHover, "#e8e8ed") \
    X(secondaryHoverFrame, "#b8b8bd") \
    X(secondaryPressed, "#d2d2d7") \
    /* A tick option's face, under the pointer. */ \
    X(optionFace, "#f8f8fa") \
    X(optionHover, "#f0f0f5") \
    /* The drop zone of the naming rules, empty and while a drag is over it. */ \
    X(dropFace, "#fafafa") \
    X(dropFrame, "#aaaaaa") \
    X(dropActiveFace, "#f0f8ff")

// The file-import window: its buttons by colour, its files' states and the
// report of a check.
#define VQ_THEME_IMPORT(X) \
    X(importBlue, "#5B8DEF") \
    X(importBlueHover, "#7BA3F5") \
    X(importBlueDeep, "#4A7CD8") \
    X(importRed, "#E57373") \
    X(importRedHover, "#EF8A8A") \
    X(importRedDeep, "#D4625E") \
    X(importGrey, "#8E99A4") \
    X(importGreyDeep, "#7A8590") \
    X(importGreen, "#52B788") \
    X(importGreenHover, "#6BC99A") \
    X(importGreenDeep, "#40A072") \
    X(importBusy, "#ffc107") \
    X(importDone, "#28a745") \
    X(importFailed, "#dc3545") \
    X(importAlternateRow, "#fafbfc") \
    X(reportHeading, "#000") \
    X(reportMissing, "#FF0000")

// The batch-delete window and its sign-in dialog.
#define VQ_THEME_BATCHDELETE(X) \
    X(tickFrame, "#d0d0d0") \
    X(progressFrame, "#d0d0d0") \
    X(progressTrack, "#f0f0f0") \
    /* The chosen item of an open branch list. */ \
    X(skySelection, "#87CEEB") \
    /* The sign-in button's gradient tops, at rest and under the pointer. */ \
    X(signInTop, "#4da3ff") \
    X(signInHoverTop, "#66b3ff")

// The photo-transfer window's list of picked photos: the state of each
// photo (text, badge, card), in slate greys.
#define VQ_THEME_PICKED(X) \
    X(pickedDone, "#48bb78") \
    X(pickedWaiting, "#a0aec0") \
    X(pickedFailed, "#f56565") \
    X(pickedOther, "#718096") \
    X(pickedName, "#2d3748") \
    X(pickedListFace, "#F5F7F9") \
    X(slateTop, "#f8fafc") \
    X(slateLight, "#f1f5f9") \
    X(slate, "#e2e8f0") \
    X(slateFrame, "#cbd5e0") \
    X(slateText, "#64748b") \
    X(badgeFailedTop, "#f87171") \
    X(badgeFailed, "#ef4444") \
    X(badgeDoneTop, "#4ade80") \
    X(badgeDone, "#22c55e") \
    X(cardFrame, "#e1e5e9") \
    X(cardHoverFace, "#f0f4f8") \
    X(cardDoneHoverFace, "#f0fdf4") \
    X(cardDoneHoverFrame, "#16a34a")

// The standard push button (ElementButton) by its type, and the loading
// spinner that shares its state colours.
#define VQ_THEME_ELEMENT(X) \
    X(elementFace, "#FFFFFF") \
    X(elementOnColour, "#FFFFFF") \
    X(elementText, "#606266") \
    X(elementBorder, "#DCDFE6") \
    X(elementHoverFace, "#ECF5FF") \
    X(elementHoverBorder, "#C6E2FF") \
    X(elementPrimary, "#409EFF") \
    X(elementPrimaryHover, "#66B1FF") \
    X(elementPrimaryPressed, "#3A8EE6") \
    X(elementSuccess, "#67C23A") \
    X(elementSuccessHover, "#85CE61") \
    X(elementSuccessPressed, "#5DAF34") \
    X(elementWarning, "#E6A23C") \
    X(elementWarningHover, "#EBB563") \
    X(elementWarningPressed, "#CF9236") \
    X(elementDanger, "#F56C6C") \
    X(elementDangerHover, "#F78989") \
    X(elementDangerPressed, "#DD6161") \
    X(elementInfo, "#909399") \
    X(elementInfoHover, "#A6A9AD") \
    X(elementInfoPressed, "#82848A") \
    X(elementDisabledFace, "#F5F7FA") \
    X(elementDisabledText, "#C0C4CC") \
    X(elementDisabledBorder, "#E4E7ED") \
    /* The loading card's grey cancel button. */ \
    X(cancelFace, "#f0f0f0") \
    X(cancelHover, "#e6e6e6") \
    X(cancelHoverBorder, "#c0c4cc") \
    X(cancelPressed, "#d9d9d9")

// The message dialog (SimpleDialog): a badge and an OK button per kind, and
// its grey cancel button.
#define VQ_THEME_DIALOG(X) \
    X(dialogInfo, "#3b82f6") \
    X(dialogInfoTint, "#dbeafe") \
    X(dialogInfoHover, "#2563eb") \
    X(dialogInfoPressed, "#1d4ed8") \
    X(dialogWarning, "#f59e0b") \
    X(dialogWarningTint, "#fef3c7") \
    X(dialogWarningHover, "#d97706") \
    X(dialogWarningPressed, "#b45309") \
    X(dialogError, "#ef4444") \
    X(dialogErrorTint, "#fecaca") \
    X(dialogErrorHover, "#dc2626") \
    X(dialogErrorPressed, "#b91c1c") \
    X(dialogQuestion, "#10b981") \
    X(dialogQuestionTint, "#d1fae5") \
    X(dialogQuestionHover, "#059669") \
    X(dialogQuestionPressed, "#047857") \
    X(dialogButtonFrame, "#e5e7eb") \
    X(dialogButtonText, "#374151") \
    X(dialogButtonHover, "#f3f4f6") \
    X(dialogButtonHoverFrame, "#d1d5db") \
    X(dialogButtonPressed, "#e5e7eb")

// The login windows and what shares their look.
#define VQ_THEME_LOGIN(X) \
    /* The login button's gradient (its top is the login blue) under the pointer and pressed. */ \
    X(loginBlueBottom, "#1967d2") \
    X(loginBlueHover, "#3a8bff") \
    X(loginBlueHoverBottom, "#2077e2") \
    X(loginBluePressed, "#1970ef") \
    X(loginBluePressedBottom, "#1557c2") \
    /* The remember box drawn by hand: its frame and its label. */ \
    X(loginTickFrame, "#c8c8c8") \
    X(loginTickText, "#a0a0a0") \
    /* The login button's face after a press: refused, waiting, let in. */ \
    X(loginRefused, "#e74c3c") \
    X(loginBusy, "#95a5a6") \
    X(loginDone, "#27ae60") \
    /* The older login window: grey text and frames, the pressed button, the close light. */ \
    X(loginMuted, "#86868B") \
    X(loginPressed, "#004499") \
    X(loginClose, "#FF5F56") \
    X(loginCloseHover, "#FF6B63") \
    X(loginClosePressed, "#E04A41")

// The theme's own roles; VQ_THEME_COLOURS adds base's.
#define VQ_THEME_OWN_COLOURS(X) \
    VQ_THEME_ACCENT(X) \
    VQ_THEME_STATES(X) \
    VQ_THEME_TEXT(X) \
    VQ_THEME_SURFACES(X) \
    VQ_THEME_BUTTONS(X) \
    VQ_THEME_CAPTION(X) \
    VQ_THEME_DESIGN(X) \
    VQ_THEME_IMPORT(X) \
    VQ_THEME_BATCHDELETE(X) \
    VQ_THEME_PICKED(X) \
    VQ_THEME_SCROLLBARS(X) \
    VQ_THEME_PHOTOS(X) \
    VQ_THEME_ELEMENT(X) \
    VQ_THEME_DIALOG(X) \
    VQ_THEME_LOGIN(X)

#define VQ_THEME_COLOURS(X) \
    VQ_BASE_COLOURS(X) \
    VQ_THEME_OWN_COLOURS(X)

#define VQ_THEME_DECLARE(role, value) inline constexpr Colour role{value};
VQ_THEME_OWN_COLOURS(VQ_THEME_DECLARE)
#undef VQ_THEME_DECLARE
// Base's roles under the theme's name too.
#define VQ_THEME_TAKE(role, value) using Palette::role;
VQ_BASE_COLOURS(VQ_THEME_TAKE)
#undef VQ_THEME_TAKE

// Every role by its name, as sheets write it after the @.
const Palette::RoleTable &roles();

// The sheet with each "@role" replaced by that role's colour (see
// Palette::fill: fill a sheet before any outside text goes into it).
QString sheet(const QString &text);

// Style sheets several windows share; sizes are in pixels before the
// display's scale.

// The photo pages' thin vertical scroll bar: a grey track, a darker handle
// of at least 10 px.
QString photoScrollBar(int width, int radius);

// A search bar's caption ("分店选择:"): bold, in the body text colour.
QString captionSheet(int fontPx);

// A search bar's field, drop-down or date field: white, rounded, a grey
// frame that turns blue with the focus. selectors is one type or a list
// ("QLineEdit, QDateEdit"); padding is the CSS value; more adds
// declarations (which may name roles) to the field's own rule.
QString fieldSheet(const QString &selectors, const QString &padding, int fontPx, const QString &more = QString());

// The grey arrow of a drop-down or date field, size pixels square, as it
// is on every display (type: "QComboBox", "QDateEdit").
QString downArrowSheet(const QString &type, int size);

// A tool table's header: pale grey sections over a grey rule, in the body
// text colour. padding holds the padding declarations.
QString tableHeaderSheet(const QString &padding, int fontPx, int fontWeight);

} // namespace Theme
