#pragma once

#include <functional>

#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QGridLayout;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class ToolCardWidget;

// The tool chooser shown after login: eight cards, each opening one tool
// window, at most one live window per card.
class ChooseTools : public QWidget
{
    Q_OBJECT

public:
    explicit ChooseTools(QWidget *parent = nullptr);

    // The login reply (less "code"), handed to the tool windows that use it.
    QJsonObject loginData;

    void replayFadeIn();
    const QList<ToolCardWidget *> &cards() const { return m_cards; }
    // The live window of a card's tool, or null.
    QWidget *toolWindow(const QString &title) const;

    // How a card's tool window is built (prepared, not shown). The
    // constructor gives every card its tool; a test may put in another.
    using ToolFactory = std::function<QWidget *(ChooseTools *)>;
    void setToolFactory(const QString &title, ToolFactory factory);

public slots:
    void onToolClicked();
    void onToolDoubleClicked(const QString &title);
    void onCloseButtonClicked();
    void onMinimizeButtonClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Tool
    {
        QString title;
        // Builds the tool's window, prepared but not shown.
        ToolFactory create;
        QPointer<QWidget> window;
    };

    void setupWindow();
    void setupUi();
    void addToolCard(const QString &iconPath, const QString &title);
    void applyStyleSheet();
    void startFadeIn();
    Tool *toolFor(const QString &title);
    static void beep();

    QPushButton *m_closeButton = nullptr;
    QPushButton *m_minimizeButton = nullptr;
    QLabel *m_logoLabel = nullptr;
    QLabel *m_sloganLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QGridLayout *m_gridLayout = nullptr;
    QList<ToolCardWidget *> m_cards;
    int m_columnCount = 3;
    QPropertyAnimation *m_fadeIn = nullptr;
    QList<Tool> m_tools;

    static bool s_firstShow;
};
