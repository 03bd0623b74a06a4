#pragma once

#include <functional>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QWidget>

class CustomCheckBoxNew;
class QLabel;
class QLineEdit;
class QPropertyAnimation;
class QPushButton;

// The login window shown at start: a frameless translucent card that posts
// the account to the order service, remembers it on request and fills the
// account values of the session.
class LoginNew : public QWidget
{
    Q_OBJECT

public:
    explicit LoginNew(QWidget *parent = nullptr);
    ~LoginNew() override;

    void replayFadeIn();
    void restoreTransparency();

signals:
    // A login succeeded and the tool chooser was opened; carries the login
    // data (the reply less "code").
    void loginFinished(const QJsonObject &loginData);

public slots:
    void onLoginClicked();
    void onCloseClicked();
    void onMinimizeClicked();
    void onInputFocused();
    void onInputUnfocused();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setupUi();
    QLineEdit *createInputField(const QString &placeholder, bool isPassword);
    void applyStyleSheet();
    void startFadeIn();
    void saveCredentials();
    void loadCredentials();
    void showWarning(const QString &text);
    void onLoginReply(bool ok, const QJsonDocument &reply);
    void openToolChooser(const QJsonObject &loginData);
    void fadeOutAndClose();

    QLineEdit *m_accountEdit = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QPushButton *m_loginButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_minimizeButton = nullptr;
    QLabel *m_logoLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    CustomCheckBoxNew *m_rememberBox = nullptr;
    QPropertyAnimation *m_fadeInAnimation = nullptr;
    bool m_busy = false;
};
