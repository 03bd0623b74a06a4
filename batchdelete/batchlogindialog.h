#pragma once

#include <functional>

#include <QDialog>
#include <QRectF>
#include <QPointer>
#include <QString>

class BaseReq;
class FullScreenLoading;
class GlassLineEdit;
class QJsonDocument;
class QLabel;
class QPushButton;

// Confirms the signed-in account once more before a destructive batch: a
// small glass card with the remembered account (read-only) and a password
// field. It checks the pair with the order service and reports to a
// callback; it changes no account value and writes no file.
class BatchLoginDialog : public QDialog
{
    Q_OBJECT

public:
    using Callback = std::function<void(bool, const QString &, const QString &)>;

    explicit BatchLoginDialog(QWidget *parent = nullptr);
    ~BatchLoginDialog() override;

    // Shows a new dialog over parent and returns at once. The callback hears
    // (true, account, password) once the service accepted the password for
    // the signed-in account, or (false, "", "") when the user cancels.
    static void verify(QWidget *parent, Callback callback);

    QString username() const;
    QString password() const;
    void setCallback(Callback callback);

    // Whether a check is on its way to the service.
    bool isVerifying() const { return busy; }

public slots:
    void handleOk();
    void handleCancel();
    void onInputChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setupUI();
    void loadSavedUsername();
    void onReply(bool ok, const QJsonDocument &reply);
    // Ends the waiting state: the overlay goes and the button follows the
    // fields again.
    void finishWaiting();
    void refuse(const QString &text);
    // The card inside the dialog's rectangle (the margin around it holds
    // the shadow), and its corner radius.
    QRectF panelRect() const;
    qreal panelRadius() const;

    QLabel *titleLabel = nullptr;
    GlassLineEdit *accountEdit = nullptr;
    GlassLineEdit *passwordEdit = nullptr;
    QPushButton *loginButton = nullptr;
    QPushButton *cancelButton = nullptr;
    Callback callback;

    // One check at a time: the button stays disabled and Return does
    // nothing until its reply (and any box it opens) is done.
    bool busy = false;
    // The overlay deletes itself when it is closed; a late reply must not
    // reach it.
    QPointer<FullScreenLoading> overlay;
};
