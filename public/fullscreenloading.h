#pragma once

#include <QMap>
#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTimer;

// The busy overlay a window lays over itself: a dimmed cover with a white card
// that shows a turning arc and a message, optionally a cancel button, and
// ends with a success tick or an error cross. One overlay per parent.
class FullScreenLoading : public QWidget
{
    Q_OBJECT

public:
    explicit FullScreenLoading(QWidget *parent = nullptr);
    ~FullScreenLoading() override;

    static FullScreenLoading *showLoading(QWidget *parent, const QString &text, bool dim = true);
    static FullScreenLoading *showWithCancel(QWidget *parent, const QString &text, const QString &cancelText,
                                             bool dim = true);
    static FullScreenLoading *instance(QWidget *parent);

    void setText(const QString &text);
    void setState(int state, const QString &text);
    void showSuccess(const QString &text, int ms);
    void showError(const QString &text, int ms);
    void closeOverlay();
    void setCancelVisible(bool visible);
    void setCancelText(const QString &text);
    void startSpinner();
    void stopSpinner();
    void updateSpinner();

    int currentState() const { return state; }
    int currentAngle() const { return angle; }
    bool isClosing() const { return closing; }

signals:
    void cancelled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private slots:
    void onCancelClicked();

private:
    void buildUi();
    void applyDim(bool dim);
    void updateCardSize();
    void centerCard();
    void fadeIn();
    void pulse();
    void fadeOutAndClose();
    // Undoes a running fade-out so the overlay can be used again.
    void revive();
    void unregister();
    void paintSpinner(QLabel *label);

    int state = 0;
    QLabel *spinnerLabel = nullptr;
    QLabel *messageLabel = nullptr;
    QWidget *card = nullptr;
    QPushButton *cancelButton = nullptr;
    QTimer *spinnerTimer = nullptr;
    int angle = 0;
    QTimer *autoCloseTimer = nullptr;
    QPropertyAnimation *fadeAnimation = nullptr;
    QPropertyAnimation *cardAnimation = nullptr;
    QGraphicsOpacityEffect *opacityEffect = nullptr;
    // The parent this overlay was registered under; the parent pointer itself
    // may already be half destroyed when the overlay goes.
    QWidget *registryKey = nullptr;
    bool closing = false;

    static QMap<QWidget *, FullScreenLoading *> s_instances;
};
