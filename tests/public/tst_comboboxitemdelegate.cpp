#include <QComboBox>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

#include "base/globals.h"
#include "public/comboboxitemdelegate.h"

class TestComboBoxItemDelegate : public QObject
{
    Q_OBJECT

private slots:
    void colours_data();
    void colours();
    void rowsAreSixtyHighAtEveryScale();
    void renderPopupList();
};

void TestComboBoxItemDelegate::colours_data()
{
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");

    QTest::newRow("plain") << false << false << QColor(Qt::white) << QColor(Qt::black);
    QTest::newRow("selected") << false << true << QColor(QStringLiteral("#007aff")) << QColor(Qt::white);
    QTest::newRow("hovered") << true << false << QColor(QStringLiteral("#2c3e50")) << QColor(Qt::white);
    QTest::newRow("hovered and selected") << true << true << QColor(QStringLiteral("#2c3e50")) << QColor(Qt::white);
}

void TestComboBoxItemDelegate::colours()
{
    QFETCH(bool, hovered);
    QFETCH(bool, selected);
    QFETCH(QColor, background);
    QFETCH(QColor, text);

    QStandardItemModel model;
    model.appendRow(new QStandardItem(QStringLiteral("██████")));
    QListView view;
    view.setModel(&model);
    ComboBoxItemDelegate delegate;

    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = QRect(0, 0, 200, 60);
    option.state = QStyle::State_Enabled | QStyle::State_Active;
    if (hovered)
        option.state |= QStyle::State_MouseOver;
    if (selected)
        option.state |= QStyle::State_Selected;
    option.widget = &view;

    QImage image(200, 60, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    {
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
    }
    // Both colours are on the painted item: its background and its text.
    auto contains = [&image](const QColor &colour) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == colour)
                    return true;
            }
        }
        return false;
    };
    QVERIFY(contains(background));
    QVERIFY(contains(text));
    // Neither colour of the other states leaks in.
    for (const QColor &other : {QColor(QStringLiteral("#2c3e50")), QColor(QStringLiteral("#007aff"))}) {
        if (other != background)
            QVERIFY(!contains(other));
    }
}

void TestComboBoxItemDelegate::rowsAreSixtyHighAtEveryScale()
{
    QStandardItemModel model;
    model.appendRow(new QStandardItem(QStringLiteral("全部门店")));
    ComboBoxItemDelegate delegate;
    QStyledItemDelegate plain;
    QStyleOptionViewItem option;
    for (float factor : {1.0f, 2.5f}) {
        g_uiScale = factor;
        const QSize size = delegate.sizeHint(option, model.index(0, 0));
        QCOMPARE(size.height(), 60);
        QCOMPARE(size.width(), plain.sizeHint(option, model.index(0, 0)).width());
    }
    g_uiScale = 1.0f;
}

void TestComboBoxItemDelegate::renderPopupList()
{
    QComboBox combo;
    combo.addItems({QStringLiteral("旗舰店"), QStringLiteral("城东店"), QStringLiteral("城西店")});
    auto *delegate = new ComboBoxItemDelegate(&combo);
    combo.setItemDelegate(delegate);
    combo.setCurrentIndex(1);
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    combo.showPopup();
    QAbstractItemView *list = combo.view();
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(list->visualRect(combo.model()->index(0, 0)).height(), 60);
    const QImage image = list->grab().toImage();
    image.save(QCoreApplication::applicationDirPath() + QStringLiteral("/render_comboboxitemdelegate.png"));
    const QRect selectedRow = list->visualRect(combo.model()->index(1, 0)).translated(list->viewport()->pos());
    const QColor shown = image.pixelColor(selectedRow.right() - 4, selectedRow.center().y());
    // The style shades the selected row slightly.
    QVERIFY2(qAbs(shown.red() - 0x00) < 30 && qAbs(shown.green() - 0x7a) < 30 && qAbs(shown.blue() - 0xff) < 30,
             qPrintable(shown.name()));
    combo.hidePopup();
}

QTEST_MAIN(TestComboBoxItemDelegate)
#include "tst_comboboxitemdelegate.moc"
