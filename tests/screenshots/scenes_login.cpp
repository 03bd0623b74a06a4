// The login windows and the tool chooser.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "base/k.h"
#include "choosetools/choosetools.h"
#include "choosetools/toolcardwidget.h"
#include "login/login.h"
#include "login/loginnew.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"

using namespace Screens;
using namespace SceneSteps;

namespace {

QLineEdit *field(QWidget *window, const QString &placeholder)
{
    if (!window)
        return nullptr;
    for (QLineEdit *edit : window->findChildren<QLineEdit *>()) {
        if (edit->placeholderText() == placeholder)
            return edit;
    }
    return nullptr;
}

QPushButton *loginButton(QWidget *window)
{
    return window ? window->findChild<QPushButton *>(QStringLiteral("loginButton")) : nullptr;
}

} // namespace

namespace SceneSteps {

void cleanStart(ShotRunner &r)
{
    r.act(QStringLiteral("关闭上一场景的窗口"), []() { closeAll(); });
    r.wait(QStringLiteral("所有窗口已关闭"), []() { return allClosed(); });
    // The mouse pointer rests where no window reacts to it.
    r.act(QStringLiteral("鼠标移到角落"), []() { QCursor::setPos(1, 1); });
}

void typeInto(QLineEdit *edit, const QString &text)
{
    if (!edit)
        return;
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    // Key events exist for Latin-1 only; other text comes as an input
    // method would commit it.
    bool latin = true;
    for (const QChar c : text)
        latin = latin && c.unicode() < 0x80;
    if (latin)
        QTest::keyClicks(edit, text);
    else
        edit->insert(text);
}

void click(QWidget *widget)
{
    if (widget)
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void loginToChooser(ShotRunner &r, const QString &account)
{
    cleanStart(r);
    r.act(QStringLiteral("打开登录窗口"), []() { K::instance()->start(0); });
    r.wait(QStringLiteral("登录窗口"), []() { return shown(topLevel("LoginNew")); });
    r.act(QStringLiteral("登录 ") + account, [account]() {
        QWidget *login = topLevel("LoginNew");
        typeInto(field(login, QStringLiteral("请输入账号")), account);
        typeInto(field(login, QStringLiteral("请输入密码")), QStringLiteral("demo123"));
        click(loginButton(login));
    });
    r.wait(QStringLiteral("工具选择窗口"), []() { return shown(topLevel("ChooseTools")) && !topLevel("LoginNew"); });
}

void openTool(ShotRunner &r, const QString &cardTitle, const char *windowClass)
{
    r.act(QStringLiteral("双击卡片 ") + cardTitle, [cardTitle]() {
        auto *chooser = qobject_cast<ChooseTools *>(topLevel("ChooseTools"));
        if (!chooser)
            return;
        for (ToolCardWidget *card : chooser->cards()) {
            if (card->title() == cardTitle)
                QTest::mouseDClick(card, Qt::LeftButton, Qt::NoModifier, card->rect().center());
        }
    });
    r.wait(QStringLiteral("工具窗口 ") + cardTitle, [windowClass]() { return shown(topLevel(windowClass)); });
}

void toolScene(ShotRunner &r, const QString &scene, const QString &cardTitle, const char *windowClass)
{
    r.scene(scene);
    loginToChooser(r);
    openTool(r, cardTitle, windowClass);
    r.shot(QStringLiteral("idle"));
}

} // namespace SceneSteps

void addLoginScenes(ShotRunner &r)
{
    r.scene(QStringLiteral("login"));
    cleanStart(r);
    r.act(QStringLiteral("打开登录窗口"), []() { K::instance()->start(0); });
    r.wait(QStringLiteral("登录窗口"), []() { return shown(topLevel("LoginNew")); });
    r.shot(QStringLiteral("empty"));
    r.act(QStringLiteral("输入账号"), []() {
        typeInto(field(topLevel("LoginNew"), QStringLiteral("请输入账号")), QStringLiteral("demo"));
    });
    r.shot(QStringLiteral("account-typed"));
    r.act(QStringLiteral("不填密码就登录"), []() { click(loginButton(topLevel("LoginNew"))); });
    r.wait(QStringLiteral("提示框"), []() { return modalText() == QStringLiteral("请输入密码"); });
    r.shot(QStringLiteral("box-password-missing"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.act(QStringLiteral("错误的密码"), []() {
        QWidget *login = topLevel("LoginNew");
        typeInto(field(login, QStringLiteral("请输入密码")), QStringLiteral("wrong"));
        click(loginButton(login));
    });
    r.wait(QStringLiteral("服务拒绝的提示框"), []() { return !modalText().isEmpty(); });
    r.shot(QStringLiteral("box-refused"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.act(QStringLiteral("正确的密码，记住密码"), []() {
        QWidget *login = topLevel("LoginNew");
        typeInto(field(login, QStringLiteral("请输入密码")), QStringLiteral("demo123"));
        if (auto *remember = login->findChild<QCheckBox *>(QStringLiteral("rememberPasswordBox")))
            remember->setChecked(true);
    });
    r.shot(QStringLiteral("filled"));
    r.act(QStringLiteral("登录"), []() { click(loginButton(topLevel("LoginNew"))); });
    r.wait(QStringLiteral("登录成功"), []() {
        QPushButton *button = loginButton(topLevel("LoginNew"));
        return button && button->text().contains(QStringLiteral("登录成功"));
    });
    r.shot(QStringLiteral("success"), 100);

    r.scene(QStringLiteral("chooser"));
    loginToChooser(r);
    r.shot(QStringLiteral("idle"));
    r.act(QStringLiteral("鼠标停在卡片上"), []() {
        auto *chooser = qobject_cast<ChooseTools *>(topLevel("ChooseTools"));
        if (chooser && !chooser->cards().isEmpty())
            hover(chooser->cards().at(2));
    });
    r.shot(QStringLiteral("card-hover"));

    r.scene(QStringLiteral("login-remembered"));
    cleanStart(r);
    r.act(QStringLiteral("再次打开登录窗口"), []() { K::instance()->start(0); });
    r.wait(QStringLiteral("登录窗口"), []() { return shown(topLevel("LoginNew")); });
    r.shot(QStringLiteral("filled-from-file"));

    r.scene(QStringLiteral("older-login"));
    cleanStart(r);
    r.act(QStringLiteral("打开旧登录窗口"), []() {
        auto *login = new Login(nullptr);
        login->show();
    });
    r.wait(QStringLiteral("旧登录窗口"), []() { return topLevel("Login") != nullptr; });
    r.shot(QStringLiteral("idle"));
    r.act(QStringLiteral("空表单登录"), []() { click(loginButton(topLevel("Login"))); });
    r.shot(QStringLiteral("incomplete"), 300);
    r.act(QStringLiteral("错误的密码"), []() {
        QWidget *login = topLevel("Login");
        typeInto(field(login, QStringLiteral("账号")), QStringLiteral("demo"));
        typeInto(field(login, QStringLiteral("密码")), QStringLiteral("wrong"));
    });
    r.pause(2000);
    r.act(QStringLiteral("登录"), []() { click(loginButton(topLevel("Login"))); });
    r.wait(QStringLiteral("服务拒绝的提示框"), []() { return !modalText().isEmpty(); });
    r.shot(QStringLiteral("box-refused"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
}
