#pragma once

#include <QLineEdit>
#include <QWidget>

// A line edit that paints its own rounded glass frame, with a blue glow
// while it has the focus. Its style sheet keeps the edit's own background
// transparent so the glass shows through.
class GlassLineEdit : public QLineEdit
{
public:
    explicit GlassLineEdit(QWidget *parent = nullptr);
    ~GlassLineEdit() override;

    bool hasGlassFocus() const { return focused; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool focused = false;
};

// A small grey icon drawn with painter paths, no image resource: a person
// (kind 0) or a padlock (any other kind).
class GlassIconWidget : public QWidget
{
public:
    explicit GlassIconWidget(int kind, QWidget *parent = nullptr);
    ~GlassIconWidget() override;

    int iconKind() const { return kind; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int kind = 0;
};
