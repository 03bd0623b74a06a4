// The import file table: what each state shows, which cells a status change
// announces, and the retry button of failed rows.

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleOptionViewItem>
#include <QtTest>

#include "importfiles/filebuttondelegate.h"
#include "importfiles/importfiletablemodel.h"

namespace {

ImportFile file(const QString &base, int status, const QString &message = QString())
{
    ImportFile f;
    f.baseName = base;
    f.suffix = QStringLiteral("jpg");
    f.targetDir = QStringLiteral("/srv/A100/原片");
    f.status = status;
    f.message = message;
    return f;
}

QColor pixelAfterPaint(FileButtonDelegate &delegate, const QModelIndex &index, QStyle::State state = QStyle::State_None)
{
    QImage image(120, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.state = state | QStyle::State_Enabled | QStyle::State_Selected;
    delegate.paint(&painter, option, index);
    painter.end();
    return image.pixelColor(20, 20);
}

bool release(FileButtonDelegate &delegate, ImportFileTableModel &model, const QModelIndex &index, Qt::MouseButton button)
{
    QMouseEvent event(QEvent::MouseButtonRelease, QPointF(5, 5), button, Qt::NoButton, Qt::NoModifier);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 120, 40);
    return delegate.editorEvent(&event, &model, option, index);
}

} // namespace

class TestImportFileTableModel : public QObject
{
    Q_OBJECT

private slots:
    void cells_data();
    void cells();
    void statusChangeAnnouncesTwoCells();
    void outOfRange();
    void retryButton();
};

void TestImportFileTableModel::cells_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QVariant>("text");
    QTest::addColumn<QVariant>("colour");
    QTest::addColumn<QString>("action");
    QTest::newRow("waiting") << 0 << "" << QVariant(QStringLiteral("等待导入")) << QVariant(QColor("#999999")) << "";
    QTest::newRow("copied") << 1 << "拷贝成功" << QVariant(QStringLiteral("导入成功")) << QVariant(QColor("#28a745"))
                            << "";
    QTest::newRow("failed with the job's text")
        << 2 << "文件大小为0KB，无法导入" << QVariant(QStringLiteral("文件大小为0KB，无法导入"))
        << QVariant(QColor("#dc3545")) << "retry";
    QTest::newRow("failed without text") << 2 << "" << QVariant(QStringLiteral("导入失败"))
                                         << QVariant(QColor("#dc3545")) << "retry";
    QTest::newRow("unknown state") << 7 << "" << QVariant() << QVariant() << "";
}

void TestImportFileTableModel::cells()
{
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QVariant, text);
    QFETCH(QVariant, colour);
    QFETCH(QString, action);
    ImportFileTableModel model;
    model.setFiles({file(QStringLiteral("a.b"), status, message)});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("导入状态"));
    QVERIFY(!model.headerData(4, Qt::Horizontal).isValid());
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("a.b.jpg"));
    QCOMPARE(model.data(model.index(0, 1)), text);
    QCOMPARE(model.data(model.index(0, 1), Qt::ForegroundRole), colour);
    QCOMPARE(model.data(model.index(0, 2)).toString(), action);
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("/srv/A100/原片"));
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QVERIFY(!model.data(model.index(0, 0), Qt::TextAlignmentRole).isValid());
    QCOMPARE(model.data(model.index(0, 3), Qt::UserRole).toInt(), status);
}

void TestImportFileTableModel::statusChangeAnnouncesTwoCells()
{
    ImportFileTableModel model;
    model.setFiles({file(QStringLiteral("a"), 0), file(QStringLiteral("b"), 0)});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.updateFileStatus(1, 2, QStringLiteral("任务已取消"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), model.index(1, 1));
    QCOMPARE(changed.first().at(1).toModelIndex(), model.index(1, 2));
    QCOMPARE(model.fileAt(1).status, 2);
    QCOMPARE(model.fileAt(1).message, QStringLiteral("任务已取消"));
    QCOMPARE(model.fileAt(0).status, 0);
}

void TestImportFileTableModel::outOfRange()
{
    ImportFileTableModel model;
    model.setFiles({file(QStringLiteral("a"), 2, QStringLiteral("x"))});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.updateFileStatus(-1, 1, QString());
    model.updateFileStatus(1, 1, QString());
    QVERIFY(changed.isEmpty());
    QCOMPARE(model.fileAt(0).status, 2);
    for (const int row : {-1, 1}) {
        const ImportFile none = model.fileAt(row);
        QVERIFY(none.baseName.isEmpty() && none.sourcePath.isEmpty());
        QCOMPARE(none.status, 0);
        QCOMPARE(none.fileIndex, 0);
    }
    model.clear();
    QCOMPARE(model.rowCount(), 0);
}

void TestImportFileTableModel::retryButton()
{
    ImportFileTableModel model;
    model.setFiles({file(QStringLiteral("wait"), 0), file(QStringLiteral("bad"), 2, QStringLiteral("x"))});
    FileButtonDelegate delegate;
    QSignalSpy retry(&delegate, &FileButtonDelegate::retryClicked);

    // A waiting row's action cell stays blank, even selected; a failed one
    // shows the red button, darker under the mouse.
    QCOMPARE(pixelAfterPaint(delegate, model.index(0, 2)), QColor(Qt::white));
    QCOMPARE(pixelAfterPaint(delegate, model.index(1, 2)), QColor("#ff6b6b"));
    QCOMPARE(pixelAfterPaint(delegate, model.index(1, 2), QStyle::State_MouseOver), QColor("#ff5252"));

    QVERIFY(!release(delegate, model, model.index(0, 2), Qt::LeftButton));
    QVERIFY(retry.isEmpty());
    QVERIFY(release(delegate, model, model.index(1, 2), Qt::LeftButton));
    QVERIFY(release(delegate, model, model.index(1, 2), Qt::RightButton));
    QCOMPARE(retry.size(), 2);
    QCOMPARE(retry.at(1).first().toInt(), 1);
    // Other columns of a failed row are no button.
    release(delegate, model, model.index(1, 1), Qt::LeftButton);
    QCOMPARE(retry.size(), 2);

    QStyleOptionViewItem option;
    option.font.setPointSize(30);
    QCOMPARE(delegate.sizeHint(option, model.index(1, 0)).height(), 40);
}

QTEST_MAIN(TestImportFileTableModel)
#include "tst_importfiletablemodel.moc"
