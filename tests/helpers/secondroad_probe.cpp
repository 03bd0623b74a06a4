// Enters the program's second start road as a handed-over start would:
//   vq_secondroad_probe <mode> [program arguments...]
// and prints, as one JSON object on stdout, the account values and the
// service address it left, and how many windows it opened.
#include <cstdio>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QWidget>

#include "app/startroads.h"
#include "base/globals.h"
#include "base/k.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int mode = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1;
    // A value the road must keep when the saved data names no shop.
    g_currentShopId = QStringLiteral("before");
    const QString indexBefore = g_indexUrl;

    StartRoads::install();
    K::instance()->start(mode);
    QCoreApplication::processEvents();

    QJsonArray shops;
    for (const ShopInfo &shop : qAsConst(g_shopList))
        shops.append(QJsonObject{{QStringLiteral("id"), shop.id},
                                 {QStringLiteral("name"), shop.name},
                                 {QStringLiteral("goodsfoldernamerule"), shop.goodsfoldernamerule}});
    int windows = 0;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            ++windows;
    }
    const QJsonObject state{
        {QStringLiteral("baseUrl"), g_baseUrl},
        {QStringLiteral("indexUrlKept"), g_indexUrl == indexBefore},
        {QStringLiteral("userId"), g_userId},
        {QStringLiteral("superId"), g_superId},
        {QStringLiteral("enterpriseId"), g_enterpriseId},
        {QStringLiteral("currentShopId"), g_currentShopId},
        {QStringLiteral("shops"), shops},
        {QStringLiteral("windows"), windows},
    };
    std::fputs(QJsonDocument(state).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fflush(stdout);
    // Only the windows without a parent: the others (a combo's popup) go
    // with their owner.
    QList<QPointer<QWidget>> owners;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (!widget->parentWidget())
            owners.append(widget);
    }
    for (const QPointer<QWidget> &widget : owners)
        delete widget.data();
    return 0;
}
