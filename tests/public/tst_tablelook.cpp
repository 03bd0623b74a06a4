#include <QHeaderView>
#include <QPaintEngine>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include "base/globals.h"
#include "public/tablelook.h"
#include "tests/public/widgetrender.h"
#include "tests/support/textrecorder.h"

// A status table as the tools style them: a light selection background and
// a status column in the status's own colour.
class TestTableLook : public QObject
{
    Q_OBJECT

private slots:
    void selectedRowKeepsItemColours_data();
    void selectedRowKeepsItemColours();
    void focusedCellHasNoBox();
    void cutHeaderLabelEndsInAnEllipsis_data();
    void cutHeaderLabelEndsInAnEllipsis();

private:
    static QTableView *statusTable(QStandardItemModel *model);
    static bool holdsColour(const QImage &image, const QRect &cell, const QColor &colour);
};

QTableView *TestTableLook::statusTable(QStandardItemModel *model)
{
    g_uiScale = 1.0f;
    auto *row = new QStandardItem(QStringLiteral("已导入"));
    row->setForeground(QColor(QStringLiteral("#00aa00")));
    model->setItem(0, 0, new QStandardItem(QStringLiteral("DD001")));
    model->setItem(0, 1, row);
    model->setItem(1, 0, new QStandardItem(QStringLiteral("DD002")));
    model->setItem(1, 1, new QStandardItem(QStringLiteral("未导入")));
    auto *view = new QTableView;
    view->setModel(model);
    view->setStyleSheet(QStringLiteral("QTableView { background-color: white; color: #333333; }"
                                       "QTableView::item:selected { background-color: #e3f2fd; }"));
    QPalette palette = view->palette();
    palette.setColor(QPalette::HighlightedText, Qt::white);
    view->setPalette(palette);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->resize(400, 200);
    QFont font = view->font();
    font.setPixelSize(20);
    font.setBold(true);
    view->setFont(font);
    view->setColumnWidth(1, 150);
    return view;
}

bool TestTableLook::holdsColour(const QImage &image, const QRect &cell, const QColor &colour)
{
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            if (closeTo(image.pixel(x, y), colour, 40))
                return true;
        }
    }
    return false;
}

void TestTableLook::selectedRowKeepsItemColours_data()
{
    QTest::addColumn<bool>("kept");
    QTest::newRow("shared look") << true;
    // Without it the selected row is drawn in one text colour: what the
    // import and batch-delete tables showed.
    QTest::newRow("plain delegate") << false;
}

void TestTableLook::selectedRowKeepsItemColours()
{
    QFETCH(bool, kept);
    QStandardItemModel model(2, 2);
    QScopedPointer<QTableView> view(statusTable(&model));
    if (kept)
        TableLook::keepItemColours(view.data());
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.data()));
    view->selectRow(0);
    const QImage image = renderWidget(view.data(), kept ? QStringLiteral("tablelook_kept") : QStringLiteral("tablelook_plain"));
    const QPoint offset = view->viewport()->pos();
    const QRect status = view->visualRect(model.index(0, 1)).translated(offset);
    const QRect number = view->visualRect(model.index(0, 0)).translated(offset);
    QCOMPARE(holdsColour(image, status, QColor(QStringLiteral("#00aa00"))), kept);
    if (kept) {
        // The other cells of the row stay in the table's text colour, not
        // the (here white) highlighted-text colour, which would vanish.
        QVERIFY(holdsColour(image, number, QColor(QStringLiteral("#333333"))));
        QVERIFY(closeTo(image.pixel(status.left() + 2, status.top() + 2), QColor(QStringLiteral("#e3f2fd")), 6));
    }
}

void TestTableLook::focusedCellHasNoBox()
{
    QStandardItemModel model(2, 2);
    QScopedPointer<QTableView> view(statusTable(&model));
    view->setSelectionMode(QAbstractItemView::NoSelection);
    TableLook::keepItemColours(view.data());
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.data()));
    view->setFocus();
    view->setCurrentIndex(model.index(1, 0));
    QVERIFY(view->hasFocus() || QGuiApplication::platformName() == QLatin1String("offscreen"));
    const QImage image = renderWidget(view.data(), QStringLiteral("tablelook_focus"));
    const QRect cell = view->visualRect(model.index(1, 0)).translated(view->viewport()->pos());
    // Every pixel of the cell's rim is the table's white background: a focus
    // box would draw a line there.
    for (int x = cell.left() + 1; x < cell.right() - 1; ++x) {
        QVERIFY2(closeTo(image.pixel(x, cell.top() + 1), Qt::white, 8), qPrintable(QString::number(x)));
        QVERIFY2(closeTo(image.pixel(x, cell.bottom() - 1), Qt::white, 8), qPrintable(QString::number(x)));
    }
}

void TestTableLook::cutHeaderLabelEndsInAnEllipsis_data()
{
    QTest::addColumn<bool>("kept");
    QTest::newRow("shared look") << true;
    // Without it the style centres the label and cuts both of its ends:
    // "已导原始档" read as "ヨ导原始档" in the import table.
    QTest::newRow("plain header") << false;
}


// A label wider than its section is cut at its end, with an ellipsis, as a
// cell's text is.
void TestTableLook::cutHeaderLabelEndsInAnEllipsis()
{
    QFETCH(bool, kept);
    QStandardItemModel model(1, 2);
    model.setHorizontalHeaderLabels({QStringLiteral("已导原始档已导原始档"), QStringLiteral("状态")});
    QTableView view;
    view.setModel(&model);
    // The tool windows give their headers a font of their own.
    view.setStyleSheet(QStringLiteral("QHeaderView::section { background-color: white; color: black;"
                                      " padding: 0px 8px; border: none; font-size: 14px; font-weight: bold; }"));
    view.resize(400, 120);
    view.setColumnWidth(0, 80);
    if (kept)
        TableLook::keepItemColours(&view);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QHeaderView *header = view.horizontalHeader();
    renderWidget(header, kept ? QStringLiteral("tablelook_header") : QStringLiteral("tablelook_header_plain"));
    TextRecorder recorder(QSize(400, 120));
    header->render(&recorder);
    // Drawn in runs of one script each; the second label follows the first.
    const QString drawn = recorder.texts.join(QString());
    QVERIFY2(drawn.endsWith(QStringLiteral("状态")), qPrintable(recorder.texts.join(QLatin1Char('|'))));
    const QString label = drawn.chopped(2);
    if (kept) {
        QVERIFY2(label.startsWith(QStringLiteral("已导")) && label.endsWith(QChar(0x2026)), qPrintable(label));
        QFont sheetFont = header->font();
        sheetFont.setPixelSize(14);
        sheetFont.setBold(true);
        QVERIFY(QFontMetrics(sheetFont).horizontalAdvance(label) <= 80 - 16);
    } else {
        QCOMPARE(label, QStringLiteral("已导原始档已导原始档"));
    }
}

QTEST_MAIN(TestTableLook)
#include "tst_tablelook.moc"
