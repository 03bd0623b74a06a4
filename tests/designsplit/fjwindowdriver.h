#pragma once

// Drives the design-split window in tests the way a user does: logs in to
// the fake service, opens the window from its chooser card, searches, ticks
// orders, sets the target folder and records every box the window shows.

#include <QCheckBox>
#include <QDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "base/basereq.h"
#include "base/globals.h"
#include "base/modalbox.h"
#include "choosetools/choosetools.h"
#include "choosetools/toolcardwidget.h"
#include "designsplit/fjhome.h"
#include "designsplit/fjleftpanel.h"
#include "designsplit/fjrightpanel.h"
#include "tests/fakeservice/fakeorderservice.h"

namespace FJDriver {

struct Box
{
    QString title;
    QString text;
    QString detailedText;
};

inline QList<Box> &boxes()
{
    static QList<Box> list;
    return list;
}

// The answer recordBoxes() gives a question (a box with Yes and No).
inline QMessageBox::StandardButton &questionAnswer()
{
    static QMessageBox::StandardButton answer = QMessageBox::Yes;
    return answer;
}

// Answers every box with OK (a question with questionAnswer()) and keeps
// what it said; `also` runs inside the box, while the window waits for it.
inline void recordBoxes(std::function<void(const Box &)> also = nullptr)
{
    boxes().clear();
    questionAnswer() = QMessageBox::Yes;
    ModalBox::setHook([also](QDialog *dialog) {
        Box box;
        box.title = dialog->windowTitle();
        bool question = false;
        if (auto *message = qobject_cast<QMessageBox *>(dialog)) {
            box.text = message->text();
            box.detailedText = message->detailedText();
            question = message->standardButtons() & QMessageBox::No;
        }
        boxes().append(box);
        if (also)
            also(box);
        return int(question ? questionAnswer() : QMessageBox::Ok);
    });
}

inline int boxCount(const QString &fragment)
{
    int n = 0;
    for (const Box &box : boxes()) {
        if (box.text.contains(fragment))
            ++n;
    }
    return n;
}

inline Box lastBox(const QString &fragment)
{
    for (int i = boxes().size() - 1; i >= 0; --i) {
        if (boxes().at(i).text.contains(fragment))
            return boxes().at(i);
    }
    return Box();
}

// Logs in to the fake with the account and fills the account values as the
// login window does; returns false when the service refused.
inline bool login(const QString &user, const QString &password)
{
    bool done = false;
    bool ok = false;
    BaseReq req;
    req.post(QStringLiteral("&m=public&a=dologin"),
             QStringLiteral("username=%1&password=%2").arg(user, password).toUtf8(),
             [&](bool sent, const QJsonDocument &doc) {
                 done = true;
                 const QJsonObject reply = doc.object();
                 if (!sent || reply.value(QStringLiteral("code")).toString() != QLatin1String("1"))
                     return;
                 ok = true;
                 setAccountValues(reply);
             });
    return QTest::qWaitFor([&done]() { return done; }, 10000) && ok;
}

// Opens the card's tool window with a double-click, as the user does.
inline FJHome *openFromChooser(ChooseTools &chooser, const QString &title)
{
    for (ToolCardWidget *card : chooser.cards()) {
        if (card->title() == title)
            QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
    }
    return qobject_cast<FJHome *>(chooser.toolWindow(title));
}

// Searches with the panel's current settings and waits for the list.
inline bool search(FJHome *window, int expectedRows)
{
    QTest::mouseClick(window->rightPanel->searchButton, Qt::LeftButton);
    return QTest::qWaitFor(
        [window, expectedRows]() {
            return window->rightPanel->searchButton->text() == QStringLiteral("搜索订单")
                && window->leftPanel->orders.size() == expectedRows;
        },
        10000);
}

// Waits for the search the window runs itself (the raw-file download
// refreshes its list after a batch).
inline bool waitForSearch(FJHome *window)
{
    return QTest::qWaitFor(
        [window]() {
            return window->rightPanel->searchButton->text() == QStringLiteral("搜索订单")
                && window->rightPanel->searchButton->isEnabled();
        },
        10000);
}

inline int rowOf(FJHome *window, const QString &number)
{
    for (int i = 0; i < window->leftPanel->orders.size(); ++i) {
        if (window->leftPanel->orders.at(i).orderpayforkey == number)
            return i;
    }
    return -1;
}

inline bool tick(FJHome *window, const QString &number)
{
    QTableWidgetItem *tick = window->leftPanel->tickAt(rowOf(window, number));
    if (!tick)
        return false;
    tick->setCheckState(Qt::Checked);
    return true;
}

// Clicks the order's row (its "订单号" cell), which ticks it and, in the
// raw-file download, shows its files.
inline bool clickRow(FJHome *window, const QString &number)
{
    const int row = rowOf(window, number);
    QTableWidget *table = window->leftPanel->table;
    if (row < 0)
        return false;
    table->scrollToItem(table->item(row, 1));
    const QRect cell = table->visualItemRect(table->item(row, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    return true;
}

inline void chooseFolder(FJHome *window, const QString &path)
{
    ModalBox::setFolderHook([path](QWidget *, const QString &) { return path; });
    QTest::mouseClick(window->rightPanel->chooseDirectoryButton, Qt::LeftButton);
    ModalBox::setFolderHook(nullptr);
}

// Whether text is a batch's final box: "N个订单分件完成!", or "N个订单下载完成!"
// in the raw-file download.
inline bool isFinalBox(const QString &text)
{
    return text.contains(QStringLiteral("个订单分件完成!")) || text.contains(QStringLiteral("个订单下载完成!"));
}

// The last final box shown.
inline Box finalBox()
{
    for (int i = boxes().size() - 1; i >= 0; --i) {
        if (isFinalBox(boxes().at(i).text))
            return boxes().at(i);
    }
    return Box();
}

inline int finalBoxCount()
{
    int n = 0;
    for (const Box &box : boxes())
        n += isFinalBox(box.text) ? 1 : 0;
    return n;
}

// Presses start and waits for the final box.
inline bool runBatch(FJHome *window, int timeoutMs = 30000)
{
    QTest::mouseClick(window->rightPanel->startButton, Qt::LeftButton);
    return QTest::qWaitFor([]() { return finalBoxCount() > 0; }, timeoutMs);
}

// The form field of every recorded request of the action.
inline QStringList fieldOf(const FakeOrderService &fake, const QString &action, const QString &field)
{
    QStringList values;
    for (const FakeOrderService::Request &request : fake.requestsFor(action))
        values << request.field(field);
    return values;
}

} // namespace FJDriver
