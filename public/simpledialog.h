#pragma once

#include <functional>

#include <QDialog>

class QLabel;
class QPushButton;
class QTextBrowser;

// The program's own message box: a rounded white card with a coloured badge,
// a title, an HTML message and OK / Cancel. The static entries show it and
// return at once; a question's answer comes back through a callback.
class SimpleDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SimpleDialog(QWidget *parent = nullptr);
    ~SimpleDialog() override;

    static void showDialog(QWidget *parent, const QString &title, const QString &message, int kind,
                           std::function<void(bool)> callback, bool richText);
    static void showSuccess(QWidget *parent, const QString &title, const QString &message, bool richText = false);
    static void showInfo(QWidget *parent, const QString &title, const QString &message, bool richText = false);
    static void showError(QWidget *parent, const QString &title, const QString &message, bool richText = false);
    static void showQuestion(QWidget *parent, const QString &title, const QString &message,
                             std::function<void(bool)> callback, bool richText = false);

    void setKind(int kind);
    void setTitle(const QString &title);
    void setMessage(const QString &message, bool richText);
    void setOkCallback(std::function<void(bool)> callback);

    // Esc and closing the window end here: a question hears "no" once.
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void handleOk();
    void handleCancel();

private:
    void buildUi();
    // Calls the callback once with answer; false when the dialog went away
    // during the call (its parent was destroyed by the callback).
    bool answer(bool value);

    QLabel *iconLabel = nullptr;
    QLabel *titleLabel = nullptr;
    QTextBrowser *messageBrowser = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
    int kind = 0;
    std::function<void(bool)> okCallback;
    bool answered = false;
};
