#include "designsplit/foldernamingrule.h"

#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QVBoxLayout>

#include "designsplit/dropzone.h"
#include "designsplit/flowlayout.h"
#include "designsplit/namingrulebuttons.h"
#include "public/theme.h"

using NamingRuleSize::px;
using NamingRuleSize::pxText;

FolderNamingRule::FolderNamingRule(QWidget *parent)
    : QWidget(parent)
{
    m_mainLayout = new QVBoxLayout(this);
    m_mainLayout->setContentsMargins(0, px(10), 0, px(10));
    m_mainLayout->setSpacing(px(10));

    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(0, 0, 0, 0);
    titleRow->setSpacing(px(6));
    auto *accent = new QWidget(this);
    accent->setFixedSize(px(4), px(16));
    accent->setStyleSheet(Theme::sheet(QStringLiteral("background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @warning, "
                                                      "stop:1 @warningDeep); border-radius: %1px;")
                                           .arg(pxText(2))));
    m_title = new QLabel(QStringLiteral("产品文件夹命名规则"), this);
    m_title->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: %1px; font-weight: 600; color: @textDark; }").arg(pxText(13))));
    titleRow->addWidget(accent);
    titleRow->addWidget(m_title);
    titleRow->addStretch();
    m_mainLayout->addLayout(titleRow);

    m_dropZone = new DropZone(this);
    m_mainLayout->addWidget(m_dropZone);

    auto *hint = new QLabel(QStringLiteral("可用字段 (拖拽添加):"), this);
    hint->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { font-size: %1px; color: @textMuted; padding-top: %2px; }")
                                         .arg(pxText(11), pxText(5))));
    m_mainLayout->addWidget(hint);

    m_palette = new QWidget(this);
    m_paletteLayout = new FlowLayout(m_palette, 0, px(8), px(8));
    m_mainLayout->addWidget(m_palette);

    connect(m_dropZone, &DropZone::ruleChanged, this, [this] { emit ruleChangedJson(m_dropZone->ruleJson()); });
}

QList<QMap<QString, QString>> FolderNamingRule::availableFields(const QString &category)
{
    QList<QMap<QString, QString>> fields;
    if (category != QStringLiteral("产品文件夹"))
        return fields;
    const QPair<QString, QString> table[] = {
        {QStringLiteral("产品ID"), QStringLiteral("id")},
        {QStringLiteral("产品名称"), QStringLiteral("name")},
        {QStringLiteral("客人姓名"), QStringLiteral("customername")},
        {QStringLiteral("订单号"), QStringLiteral("orderpayforkey")},
        {QStringLiteral("服务次"), QStringLiteral("servicetimes")},
        {QStringLiteral("数量"), QStringLiteral("goodnum")},
        {QStringLiteral("快递方式"), QStringLiteral("isems")},
        {QStringLiteral("取件时间"), QStringLiteral("pickuptime")},
        {QStringLiteral("产品类型"), QStringLiteral("goodtype")},
    };
    for (const auto &field : table)
        fields.append({{QStringLiteral("name"), field.first}, {QStringLiteral("key"), field.second}});
    return fields;
}

void FolderNamingRule::setAvailableFields(const QList<QMap<QString, QString>> &fields)
{
    m_fields = fields;
    while (QLayoutItem *item = m_paletteLayout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    for (const auto &field : fields) {
        m_paletteLayout->addWidget(
            new DraggableFieldSource(field.value(QStringLiteral("name")), field.value(QStringLiteral("key")), m_palette));
    }
}

void FolderNamingRule::setRule(const QJsonArray &rule)
{
    m_dropZone->clear();
    for (int i = 0; i < rule.size(); ++i) {
        const QJsonObject field = rule.at(i).toObject();
        m_dropZone->addField(field.value(QLatin1String("name")).toString(), field.value(QLatin1String("key")).toString(),
                             field.value(QLatin1String("separator")).toString(), i);
    }
}

QJsonArray FolderNamingRule::ruleJson() const
{
    return m_dropZone->ruleJson();
}

QString FolderNamingRule::ruleString() const
{
    return m_dropZone->ruleString();
}

QStringList FolderNamingRule::ruleParts() const
{
    return m_dropZone->ruleParts();
}
