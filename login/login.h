#pragma once

#include <QByteArray>
#include <QCheckBox>
#include <QJsonDocument>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPropertyAnimation;
class QPushButton;

// The check box of the older login window: the standard box with a white
// tick drawn over it when checked.
class CustomCheckBox : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;
    ~CustomCheckBox() override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// An earlier login window kept beside the current one: a light card that
// logs in with the same service action, fills the same account values and
// opens the photo-transfer window directly. It remembers the account in a
// file of its own next to the program, with the password obfuscated.
class Login : public QWidget
{
    Q_OBJECT

public:
    explicit Login(QWidget *parent = nullptr);
    ~Login() override;

    // The remembered-login file: "login_config.txt" in the program's folder,
    // or in the folder set here (tests keep it out of the program's folder).
    static QString configFilePath();
    static void setConfigFolder(const QString &folder);

    // Cyclic XOR with a fixed key, then standard Base64; and back.
    static QString encryptPassword(const QString &password);
    static QString decryptPassword(const QString &encrypted);

    void startEntranceAnimation();

public slots:
    void onLoginClicked();
    void onCloseClicked();
    void onInputFocused();
    void onInputUnfocused();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setupForm();
    void setupUI();
    void applyStyles();
    void setupAnimations();
    QLineEdit *createInputField(const QString &placeholder, bool isPassword);
    void connectInputField(QLineEdit *field);
    void saveCredentials();
    void loadCredentials();
    void onLoginReply(bool ok, const QJsonDocument &reply);
    void restoreLoginButton();
    void openPhotoTransfer(const QJsonObject &loginData);

    QLineEdit *accountField = nullptr;
    QLineEdit *passwordField = nullptr;
    QPushButton *loginButton = nullptr;
    QPushButton *closeButton = nullptr;
    QLabel *logoLabel = nullptr;
    CustomCheckBox *rememberBox = nullptr;
    QPropertyAnimation *fadeAnimation = nullptr;
};
