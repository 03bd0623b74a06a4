#include "base/modalbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QPolygonF>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QTreeView>

#include "base/palette.h"
#include "base/textelide.h"

namespace ModalBox {

namespace {

Hook &hook()
{
    static Hook h;
    return h;
}

FilesHook &filesHook()
{
    static FilesHook h;
    return h;
}

FolderHook &folderHook()
{
    static FolderHook h;
    return h;
}

// The folder last picked in this run of the program (or the one whose files
// were last picked), where the next file or folder dialog starts.
QString &lastFolder()
{
    static QString folder;
    return folder;
}

// The last folder picked while it is still there (else the nearest folder
// above it that is), else the user's home: never the program's working
// folder, which is where Qt starts without a folder and is no place the
// user chose.
QString startFolder()
{
    QString folder = lastFolder();
    while (!folder.isEmpty()) {
        if (QFileInfo(folder).isDir())
            return folder;
        const QString up = QFileInfo(folder).path();
        if (up == folder || up == QLatin1String("."))
            break;
        folder = up;
    }
    return QDir::homePath();
}

// The columns of Qt's file model.
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;
// Qt's sidebar greys a place whose folder is gone through this role of its
// model; its own delegate, which FileItemDelegate replaces there, read it.
constexpr int kPlaceEnabledRole = Qt::UserRole + 2;

// The cells of Qt's own file and folder dialogs. A cut name keeps its start
// and its end with an ellipsis between (TextElide says why Qt's elision is
// not used). Dates and sizes are written in the view's language: Qt's file
// model writes them in the system's, an English date among Chinese labels
// on a studio PC set to English.
class FileItemDelegate : public QStyledItemDelegate
{
public:
    // places: the cells are the sidebar's places, not files.
    FileItemDelegate(bool places, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_places(places)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        TextElide::fitItemText(&cell);
        const QWidget *widget = cell.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    }

    // A list (the files as a list, the places) lays an item out as wide as
    // its whole name: a long one ran past the view's edge, cut there with
    // no sign of it, and pushed the other names out of sight. It gets at
    // most the view's width, and paint() cuts it with its ellipsis.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize hint = QStyledItemDelegate::sizeHint(option, index);
        if (const auto *list = qobject_cast<const QListView *>(option.widget)) {
            const int room = list->viewport()->width() - 2 * list->spacing();
            if (room > 0)
                hint.setWidth(qMin(hint.width(), room));
        }
        return hint;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (m_places) {
            const QVariant enabled = index.data(kPlaceEnabledRole);
            if (enabled.isValid() && !enabled.toBool())
                option->state &= ~QStyle::State_Enabled;
            return;
        }
        const auto *files = qobject_cast<const QFileSystemModel *>(index.model());
        if (!files)
            return;
        const QLocale &locale = option->locale;
        if (index.column() == kSizeColumn && !files->isDir(index))
            option->text = locale.formattedDataSize(files->size(index), 2, QLocale::DataSizeTraditionalFormat);
        else if (index.column() == kDateColumn)
            option->text = locale.toString(files->lastModified(index),
                                           locale.dateFormat(QLocale::ShortFormat) + QStringLiteral(" HH:mm"));
    }

private:
    bool m_places;
};

// Paints the dialog's boxes (the folder's path, the kind of files): the
// text cut by TextElide, and the arrow. Qt's path box cuts its text itself
// before the style sees it, and a cut path lost a piece with nothing in its
// place. The dialog's sheet frames the boxes, and a box framed by a sheet
// has its arrow only as a picture, which base has none of.
class BoxPainter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QComboBox *>(watched);
        if (!box || event->type() != QEvent::Paint)
            return QObject::eventFilter(watched, event);
        QStylePainter painter(box);
        painter.setPen(box->palette().color(QPalette::Text));
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = box->isEditable();
        option.frame = box->hasFrame();
        option.subControls = QStyle::SC_All;
        option.currentIcon = box->itemIcon(box->currentIndex());
        option.iconSize = box->iconSize();
        if (box->view() && box->view()->isVisible())
            option.state |= QStyle::State_On;
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
        // The style draws the text beside the icon, one pixel in from each side.
        const int room = field.width() - (option.currentIcon.isNull() ? 0 : option.iconSize.width() + 4) - 2;
        option.currentText = TextElide::elided(option.fontMetrics, box->currentText(), room, Qt::ElideMiddle);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        drawArrow(&painter, box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, box),
                  option.palette.color(QPalette::Text));
        return true;
    }

private:
    static void drawArrow(QPainter *painter, const QRect &room, const QColor &colour)
    {
        const QPointF centre = QRectF(room).center();
        const qreal half = qMin<qreal>(4, room.width() / 4.0);
        const QPolygonF arrow(QVector<QPointF>{QPointF(centre.x() - half, centre.y() - half / 2),
                                               QPointF(centre.x() + half, centre.y() - half / 2),
                                               QPointF(centre.x(), centre.y() + half / 2 + 1)});
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(colour);
        painter->drawPolygon(arrow);
        painter->restore();
    }
};

// Framed light buttons with dark text inside scope (a box, a dialog): a
// window's sheet, which a box or dialog over it takes, may have made its
// buttons flat and frameless.
QString framedButtons(const QString &scope)
{
    return QStringLiteral(
               "SCOPE QPushButton { background: @boxButtonFace; color: @boxText; border: 1px solid @boxFrame;"
               " border-radius: 4px; padding: 5px 16px; margin: 0px; min-width: 64px; min-height: 0px;"
               " font-size: %1px; font-weight: normal; }"
               "SCOPE QPushButton:hover { background: @boxButtonHover; border-color: @loginBlue; }"
               "SCOPE QPushButton:pressed { background: @boxButtonPressed; }"
               "SCOPE QPushButton:default { border: 1px solid @loginBlue; }")
        .replace(QStringLiteral("SCOPE"), scope);
}

// The fields, boxes and buttons of Qt's own file dialog, framed, at the
// program's own text size. A window's sheet that gives every widget its
// panel colour and round corners also covered the corner of the last
// button with the size grip.
const char kFileDialogLook[] =
    "QFileDialog QLineEdit, QFileDialog QComboBox { background: @boxFace; color: @boxText;"
    " border: 1px solid @boxFrame; border-radius: 3px; padding: 3px 4px; font-size: %1px; }"
    "QFileDialog QComboBox::drop-down { border: none; width: 20px; }"
    "QFileDialog QLineEdit:focus { border-color: @loginBlue; }"
    "QFileDialog QPushButton:disabled { color: @boxFrame; }"
    "QFileDialog QSizeGrip { background: transparent; }";

void applyFileDialogLook(QFileDialog *dialog)
{
    const int textPx = QFontInfo(QApplication::font()).pixelSize();
    const QString sheet =
        Palette::sheet(QString::fromLatin1(kFileDialogLook) + framedButtons(QStringLiteral("QFileDialog"))).arg(textPx);
    dialog->setStyleSheet(sheet);
    // As for message boxes: the sheet of the window the dialog belongs to
    // would win over the dialog's own, a part's own sheet wins over both.
    for (QWidget *part : dialog->findChildren<QWidget *>())
        part->setStyleSheet(sheet);
}

// The views of Qt's own dialog: cut names keep their start and end, dates
// and sizes are in Chinese.
void dressViews(QFileDialog *dialog, QListView *sidebar)
{
    dialog->setLocale(QLocale(QLocale::Chinese, QLocale::China));
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(dialog->findChild<QListView *>(QStringLiteral("listView"))),
                                    static_cast<QAbstractItemView *>(dialog->findChild<QTreeView *>(QStringLiteral("treeView"))),
                                    static_cast<QAbstractItemView *>(sidebar)}) {
        if (!view)
            continue;
        view->setTextElideMode(Qt::ElideMiddle);
        view->setItemDelegate(new FileItemDelegate(view == sidebar, view));
        // Items are laid out again at the list's new width (see sizeHint).
        if (auto *list = qobject_cast<QListView *>(view))
            list->setResizeMode(QListView::Adjust);
    }
    for (QComboBox *box : dialog->findChildren<QComboBox *>())
        box->installEventFilter(new BoxPainter(box));
}

// Qt's own file and folder dialogs (where the platform has none) size their
// sidebar and columns for Qt's default font: at the program's larger font
// the sidebar's names and the type column were cut. Their parts are fitted
// to their text, cut texts keep an ellipsis, and the dialog opens at a size
// for the screen. The platform's own dialog has none of these parts and is
// left alone.
void dressFileDialog(QFileDialog *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
    auto *sidebar = dialog->findChild<QListView *>(QStringLiteral("sidebar"));
    auto *splitter = dialog->findChild<QSplitter *>(QStringLiteral("splitter"));
    if (!tree || !sidebar || !splitter)
        return;
    applyFileDialogLook(dialog);
    dressViews(dialog, sidebar);
    // Widths in Latin letters: the program's font has the average
    // character of a Chinese one, twice a letter of a file name.
    const QFontMetrics metrics(sidebar->font());
    const auto letters = [](const QFontMetrics &m, int count) { return m.horizontalAdvance(QString(count, QLatin1Char('n'))); };
    int side = 0;
    if (QAbstractItemModel *places = sidebar->model()) {
        for (int row = 0; row < places->rowCount(); ++row)
            side = qMax(side, metrics.horizontalAdvance(places->index(row, 0).data().toString()));
    }
    // A place with a long name is cut, with its ellipsis, rather than taking
    // the files' room.
    side = qMin(side, letters(metrics, 24));
    // Icon, the gap beside it, the frame and a vertical scroll bar.
    side += sidebar->iconSize().width() + letters(metrics, 4) + sidebar->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    sidebar->setMinimumWidth(side);

    QHeaderView *header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setMinimumSectionSize(letters(metrics, 4));

    const QFontMetrics treeMetrics(tree->font());
    // The name column takes what is left; the others hold a size, a type
    // ("文件夹") and a date with time.
    const int columns = letters(treeMetrics, 40)
                        + treeMetrics.horizontalAdvance(QStringLiteral("9999 KB  File Folder  2000/00/00 00:00  "))
                        + letters(treeMetrics, 12);
    QSize size = QSize(side + columns, treeMetrics.height() * 20).expandedTo(dialog->minimumSizeHint());
    if (const QScreen *screen = dialog->screen())
        size = pickerSize(size, screen->availableGeometry().size());
    dialog->resize(size);
    splitter->setSizes({side, size.width() - side});
}

const char kLookApplied[] = "vqBoxLook";

// Every property a window's sheet might set on its own labels and buttons is
// given here: a widget's own sheet wins over an inherited one only where it
// names the property.
const char kBoxLook[] =
    "QMessageBox { background: @boxFace; border: 1px solid @boxFrame; }"
    "QMessageBox QLabel { background: transparent; color: @boxText; border: none; margin: 0px; padding: 0px;"
    " font-size: %1px; font-weight: normal; }"
    "QMessageBox QTextEdit { background: @boxFace; color: @boxText; border: 1px solid @boxDetailsFrame; }"
    "QMessageBox QCheckBox { background: transparent; color: @boxText; }";

} // namespace

void applyBoxLook(QMessageBox *box)
{
    if (!box || box->property(kLookApplied).toBool())
        return;
    box->setProperty(kLookApplied, true);
    // The program's own text size, not one a window set for its labels.
    const int textPx = QFontInfo(QApplication::font()).pixelSize();
    const QString sheet =
        Palette::sheet(QString::fromLatin1(kBoxLook) + framedButtons(QStringLiteral("QMessageBox"))).arg(textPx)
        + box->styleSheet();
    box->setStyleSheet(sheet);
    // A box is a window of its own, and for the widgets in it the sheet of
    // the window it belongs to wins over the box's sheet; only a widget's
    // own sheet wins over both. So each part of the box carries the look
    // (the selectors still name the box, and the rules a window gave the
    // box come last and win).
    for (QWidget *part : box->findChildren<QWidget *>())
        part->setStyleSheet(sheet);
    // Text only, as on Windows: some desktop themes put an icon on each
    // button of a box.
    for (QAbstractButton *button : box->buttons())
        button->setIcon(QIcon());
}

int exec(QDialog *dialog)
{
    if (!dialog)
        return 0;
    applyBoxLook(qobject_cast<QMessageBox *>(dialog));
    if (hook())
        return hook()(dialog);
    return dialog->exec();
}

void setHook(Hook h)
{
    hook() = std::move(h);
}

int showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                const QString &styleSheet, const QString &details)
{
    QPointer<QMessageBox> box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    if (!styleSheet.isEmpty())
        box->setStyleSheet(styleSheet);
    if (!details.isEmpty())
        box->setDetailedText(details);
    const int result = exec(box);
    delete box.data();
    return result;
}

QSize pickerSize(const QSize &textNeeds, const QSize &available)
{
    // Two thirds of the screen's width and 70 % of its height, no larger
    // than a picker needs on a large screen; never smaller than its text
    // needs, nor so large that the screen's edge cuts it.
    const QSize share = QSize(available.width() * 2 / 3, available.height() * 7 / 10).boundedTo(QSize(1280, 860));
    return textNeeds.expandedTo(share).boundedTo(available * 9 / 10);
}

QStringList getOpenFileNames(QWidget *parent, const QString &caption, const QString &filter)
{
    QStringList picked;
    if (filesHook()) {
        picked = filesHook()(parent, caption, filter);
    } else {
        // Not on the caller's stack, as in pickFolder().
        QPointer<QFileDialog> dialog = new QFileDialog(parent, caption, startFolder(), filter);
        dialog->setFileMode(QFileDialog::ExistingFiles);
        dressFileDialog(dialog);
        const int result = exec(dialog);
        if (dialog && result == QDialog::Accepted)
            picked = dialog->selectedFiles();
        delete dialog.data();
    }
    if (!picked.isEmpty())
        lastFolder() = QFileInfo(picked.first()).absolutePath();
    return picked;
}

void setFilesHook(FilesHook h)
{
    filesHook() = std::move(h);
}

QString pickFolder(QWidget *parent, const QString &caption)
{
    QString picked;
    if (folderHook()) {
        picked = folderHook()(parent, caption);
    } else {
        // Not on the caller's stack: the dialog goes with its parent, which
        // may be closed while it is open.
        QPointer<QFileDialog> dialog = new QFileDialog(parent, caption, startFolder());
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        dressFileDialog(dialog);
        const int result = exec(dialog);
        if (dialog && result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
            picked = dialog->selectedFiles().first();
        delete dialog.data();
    }
    if (!picked.isEmpty())
        lastFolder() = picked;
    return picked;
}

void setFolderHook(FolderHook h)
{
    folderHook() = std::move(h);
}

} // namespace ModalBox
