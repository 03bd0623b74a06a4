#include "tests/screenshots/shotrunner.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QWidget>

ShotRunner::ShotRunner(bool waitForAnswer, QObject *parent)
    : QObject(parent)
    , m_wait(waitForAnswer)
{
    m_poll.setInterval(50);
    connect(&m_poll, &QTimer::timeout, this, &ShotRunner::poll);
    if (m_wait) {
        m_stdin = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        m_stdin->setEnabled(false);
        connect(m_stdin, &QSocketNotifier::activated, this, &ShotRunner::readAnswer);
    }
}

void ShotRunner::scene(const QString &name)
{
    m_scene = name;
}

void ShotRunner::act(const QString &what, std::function<void()> fn)
{
    m_steps.append({Kind::Act, m_scene, what, std::move(fn), nullptr, 0});
}

void ShotRunner::wait(const QString &what, std::function<bool()> ready, int timeoutMs)
{
    m_steps.append({Kind::Wait, m_scene, what, nullptr, std::move(ready), timeoutMs});
}

void ShotRunner::shot(const QString &name, int settleMs)
{
    m_steps.append({Kind::Shot, m_scene, name, nullptr, nullptr, settleMs});
}

void ShotRunner::pause(int ms)
{
    m_steps.append({Kind::Pause, m_scene, QString(), nullptr, nullptr, ms});
}

void ShotRunner::start()
{
    if (!m_filter.isEmpty()) {
        const QRegularExpression filter(m_filter);
        QList<Step> kept;
        for (const Step &step : qAsConst(m_steps)) {
            if (filter.match(step.scene).hasMatch())
                kept.append(step);
        }
        m_steps = kept;
    }
    m_index = -1;
    QTimer::singleShot(0, this, &ShotRunner::nextStep);
}

void ShotRunner::say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ShotRunner::nextStep()
{
    ++m_index;
    if (m_index >= m_steps.size()) {
        say(QStringLiteral("END %1 %2").arg(m_shots).arg(m_misses));
        emit finished(m_shots, m_misses);
        return;
    }
    runStep();
}

void ShotRunner::runStep()
{
    const Step &step = m_steps.at(m_index);
    switch (step.kind) {
    case Kind::Act: {
        std::fprintf(stderr, "[画面] %s: %s\n", qPrintable(step.scene), qPrintable(step.what));
        // Posted, not called: a modal box opened by fn runs its own loop
        // inside that call, and the runner has to go on meanwhile.
        QTimer::singleShot(0, this, [fn = step.fn]() { fn(); });
        QTimer::singleShot(0, this, &ShotRunner::nextStep);
        return;
    }
    case Kind::Wait:
        m_deadline = QDateTime::currentMSecsSinceEpoch() + step.ms;
        m_poll.start();
        return;
    case Kind::Pause:
        QTimer::singleShot(step.ms, this, &ShotRunner::nextStep);
        return;
    case Kind::Shot:
        QTimer::singleShot(step.ms, this, [this]() {
            const Step &current = m_steps.at(m_index);
            ++m_shots;
            ++m_number;
            say(QStringLiteral("SHOT %1-%2-%3")
                    .arg(m_number, 2, 10, QLatin1Char('0'))
                    .arg(current.scene, current.what));
            if (!m_wait) {
                nextStep();
                return;
            }
            m_awaitingAnswer = true;
            m_stdin->setEnabled(true);
        });
        return;
    }
}

void ShotRunner::poll()
{
    const Step &step = m_steps.at(m_index);
    if (step.ready()) {
        m_poll.stop();
        nextStep();
        return;
    }
    if (QDateTime::currentMSecsSinceEpoch() > m_deadline) {
        m_poll.stop();
        miss(QStringLiteral("等待超时: ") + step.what);
    }
}

void ShotRunner::miss(const QString &reason)
{
    ++m_misses;
    const QString scene = m_steps.at(m_index).scene;
    say(QStringLiteral("MISS %1: %2").arg(scene, reason));
    // The rest of the scene depends on the state it did not reach.
    while (m_index + 1 < m_steps.size() && m_steps.at(m_index + 1).scene == scene)
        ++m_index;
    QTimer::singleShot(0, this, &ShotRunner::nextStep);
}

void ShotRunner::readAnswer()
{
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // The script is gone: nobody takes the screenshots any more.
        m_stdin->setEnabled(false);
        QCoreApplication::exit(3);
        return;
    }
    if (!m_awaitingAnswer || !memchr(buffer, '\n', size_t(n)))
        return;
    m_awaitingAnswer = false;
    m_stdin->setEnabled(false);
    nextStep();
}

namespace Screens {

QWidget *topLevel(const char *className)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (int i = windows.size() - 1; i >= 0; --i) {
        QWidget *window = windows.at(i);
        if (window->isVisible() && window->inherits(className))
            return window;
    }
    return nullptr;
}

bool shown(QWidget *window)
{
    return window && window->isVisible() && window->windowOpacity() > 0.99;
}

QWidget *modalBox()
{
    QWidget *box = QApplication::activeModalWidget();
    return box && box->isVisible() ? box : nullptr;
}

QString modalText()
{
    QWidget *box = modalBox();
    if (auto *message = qobject_cast<QMessageBox *>(box))
        return message->text();
    return box ? box->windowTitle() : QString();
}

void closeModalBox()
{
    QWidget *box = modalBox();
    if (auto *message = qobject_cast<QMessageBox *>(box)) {
        // The answer that changes nothing: No or Cancel where the box asks.
        for (QAbstractButton *button : message->buttons()) {
            const QMessageBox::ButtonRole role = message->buttonRole(button);
            if (role == QMessageBox::RejectRole || role == QMessageBox::NoRole) {
                button->click();
                return;
            }
        }
        if (QAbstractButton *button = message->escapeButton()) {
            button->click();
            return;
        }
        if (!message->buttons().isEmpty()) {
            message->buttons().first()->click();
            return;
        }
    }
    if (auto *dialog = qobject_cast<QDialog *>(box))
        dialog->reject();
    else if (box)
        box->close();
}

void closeAll()
{
    for (int i = 0; i < 20 && modalBox(); ++i)
        closeModalBox();
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        window->close();
    }
    // The login windows are only hidden when they close.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() && (window->inherits("LoginNew") || window->inherits("Login")))
            window->deleteLater();
    }
}

bool allClosed()
{
    if (modalBox()) {
        closeModalBox();
        return false;
    }
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && !window->inherits("QMenu") && window->windowType() != Qt::ToolTip)
            return false;
    }
    return true;
}

void hover(QWidget *widget)
{
    if (widget)
        QCursor::setPos(widget->mapToGlobal(widget->rect().center()));
}

} // namespace Screens
