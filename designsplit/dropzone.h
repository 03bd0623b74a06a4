#pragma once

#include <QFrame>
#include <QJsonArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class FieldButton;
class QHBoxLayout;
class SeparatorButton;

// The placed fields of a naming rule, each followed by its separator button,
// laid out in rows by position. Fields are dropped in from the palette and
// dragged within the zone to reorder them.
class DropZone : public QFrame
{
    Q_OBJECT

public:
    struct Entry
    {
        FieldButton *chip = nullptr;
        SeparatorButton *separatorButton = nullptr;
        QString separator;
    };

    explicit DropZone(QWidget *parent = nullptr);

    void addField(const QString &name, const QString &key, int index);
    void addField(const QString &name, const QString &key, const QString &separator, int index);
    void removeField(int index);
    void clear();

    QJsonArray ruleJson() const;
    QString ruleString() const;
    QStringList ruleParts() const;

    // The entry index before which a field dropped at position would go.
    int insertIndexAt(const QPoint &position) const;
    void updateLayout(bool animate);

    const QList<Entry> &entries() const { return m_entries; }
    QWidget *dropIndicator() const { return m_indicator; }
    int dropIndex() const { return m_dropIndex; }

signals:
    void ruleChanged();

public slots:
    void onFieldDeleteClicked();
    void onFieldDragStarted(FieldButton *button);
    void onSeparatorChanged(QString separator);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int entryOf(const FieldButton *chip) const;

    QList<Entry> m_entries;
    QWidget *m_container = nullptr;
    QHBoxLayout *m_containerLayout = nullptr;
    QWidget *m_indicator = nullptr;
    int m_dropIndex = -1;
    QPointer<FieldButton> m_draggedChip;
    bool m_dragActive = false;
};
