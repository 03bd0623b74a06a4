#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;
class QWidget;

// Puts the program's windows, one state after another, in front of a real X
// server and asks whoever started it (scripts/screenshots.sh) to take a
// screenshot of each state.
//
// Protocol on the standard streams, one line each:
//   out "SHOT <name>"  the screen shows the state <name>; the driver waits
//   in  any line       the screenshot is taken, go on
//   out "MISS <name>: <reason>"  a state could not be reached; its scene
//                      is left and the next one starts
//   out "END <shots> <misses>"   all scenes ran
// With --no-wait the driver does not wait for an answer (a look by hand).
class ShotRunner : public QObject
{
    Q_OBJECT

public:
    explicit ShotRunner(bool waitForAnswer, QObject *parent = nullptr);

    // Starts a scene: the steps added after it belong to it, and the names
    // of its shots begin with its name. Scenes whose name does not match
    // the filter given on the command line are left out.
    void scene(const QString &name);
    // Runs fn on its own turn of the event loop, so that a modal box it
    // opens (and the nested loop of that box) does not hold the runner.
    void act(const QString &what, std::function<void()> fn);
    // Waits until ready() holds, at most timeoutMs, checked every 50 ms.
    void wait(const QString &what, std::function<bool()> ready, int timeoutMs = 20000);
    // Lets animations end for settleMs, then asks for a screenshot.
    void shot(const QString &name, int settleMs = 700);
    // Waits a fixed time (an animation with nothing to poll).
    void pause(int ms);

    void setFilter(const QString &pattern) { m_filter = pattern; }
    void start();

signals:
    void finished(int shots, int misses);

private:
    enum class Kind {
        Act,
        Wait,
        Shot,
        Pause,
    };
    struct Step
    {
        Kind kind = Kind::Act;
        QString scene;
        QString what;
        std::function<void()> fn;
        std::function<bool()> ready;
        int ms = 0;
    };

    void runStep();
    void nextStep();
    void miss(const QString &reason);
    void poll();
    void readAnswer();
    void say(const QString &line);

    QList<Step> m_steps;
    QString m_scene;
    QString m_filter;
    int m_index = -1;
    int m_shots = 0;
    int m_misses = 0;
    int m_number = 0;
    bool m_wait = true;
    bool m_awaitingAnswer = false;
    qint64 m_deadline = 0;
    QTimer m_poll;
    QSocketNotifier *m_stdin = nullptr;
};

// What the scenes share: finding windows and boxes the way a user sees them.
namespace Screens {

// The visible top-level widget of a class (by meta-object class name), the
// last shown first; null when there is none.
QWidget *topLevel(const char *className);
// Visible and fully faded in.
bool shown(QWidget *window);
// The modal box or dialog in front, or null.
QWidget *modalBox();
// Text of the box in front (a message box's text, a dialog's title).
QString modalText();
// Closes the box in front as its Escape key or only button would.
void closeModalBox();
// Closes every window and box of the program (a scene's clean start).
void closeAll();
// Nothing of the program is on the screen any more (closes a box that a
// window asked on closing).
bool allClosed();
// Moves the real mouse pointer over the centre of a widget.
void hover(QWidget *widget);

} // namespace Screens
