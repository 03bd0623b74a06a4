#pragma once

#include <QPushButton>
#include <QSize>

// The program's standard push button: its whole look is a style sheet built
// from a colour type (0-5), a size (0-2) and a few look flags.
class ElementButton : public QPushButton
{
    Q_OBJECT

public:
    explicit ElementButton(QWidget *parent = nullptr);
    ElementButton(const QString &text, QWidget *parent = nullptr);
    ElementButton(const QString &text, int type, QWidget *parent = nullptr);
    ~ElementButton() override;

    void setType(int type);
    void setSize(int size);
    void setPlain(bool plain);
    void setRound(bool round);
    void setCircle(bool circle);
    void setAlternateScheme(bool alternateScheme);
    void setLoading(bool loading);

    void updateStyle();
    QString buildStyleSheet() const;
    QSize minimumSizeForSize() const;

private:
    void init();

    int type = 1;
    int size = 1;
    bool plain = false;
    bool round = false;
    bool circle = false;
    bool alternateScheme = false;
    bool loading = false;
};
