#pragma once

#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QTimer;

// A short message centred over its parent window that stays for a while,
// fades out and deletes itself.
class ToastWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ToastWidget(QWidget *parent = nullptr);
    ~ToastWidget() override;

    // Shows text over parent for ms milliseconds, then a 300 ms fade.
    static void showToast(QWidget *parent, const QString &text, int ms);

    void setText(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildUi();

    QLabel *label = nullptr;
    QTimer *timer = nullptr;
    QGraphicsOpacityEffect *opacityEffect = nullptr;
    QPropertyAnimation *fadeAnimation = nullptr;
};
