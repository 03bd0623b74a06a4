#pragma once

#include <QJsonArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

class DropZone;
class FlowLayout;
class QLabel;
class QVBoxLayout;

// The editor of a shop's product-folder naming rule: fields dragged from a
// palette into a drop zone, reordered there, each followed by a separator.
// The rule's JSON form is a list of {"name", "key", "separator"} objects,
// the last without "separator".
class FolderNamingRule : public QWidget
{
    Q_OBJECT

public:
    explicit FolderNamingRule(QWidget *parent = nullptr);

    // The fields a category offers, each a map with "name" and "key"; only
    // "产品文件夹" has fields.
    static QList<QMap<QString, QString>> availableFields(const QString &category);
    void setAvailableFields(const QList<QMap<QString, QString>> &fields);
    void setRule(const QJsonArray &rule);

    QJsonArray ruleJson() const;
    QString ruleString() const;
    QStringList ruleParts() const;

    DropZone *dropZone() const { return m_dropZone; }
    QWidget *palette() const { return m_palette; }

signals:
    void ruleChangedJson(QJsonArray rule);

private:
    QVBoxLayout *m_mainLayout = nullptr;
    QLabel *m_title = nullptr;
    DropZone *m_dropZone = nullptr;
    QWidget *m_palette = nullptr;
    FlowLayout *m_paletteLayout = nullptr;
    QList<QMap<QString, QString>> m_fields;
};
