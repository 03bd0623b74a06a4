#include <QSet>
#include <QtTest>

#include "orderfields/jobs/olsetinitialdata.h"

using FieldTable = QMap<QString, OLFieldDef>;

class TestOLSetInitialData : public QObject
{
    Q_OBJECT

private slots:
    // Must stay first: it sees the tables before anything fills them.
    void emptyAndDefaultBeforeInit();
    void instanceNeitherFillsNorClears();
    void figuresPerTable_data();
    void figuresPerTable();
    void flagFalseOnlyOnOrderPhotoIdsAndMarkers();
    void referenceFieldsNameTheirText();
    void sharedLabels_data();
    void sharedLabels();
    void iterationFollowsKeyOrder();
    void definitions_data();
    void definitions();
    void keysAbsentFromTable_data();
    void keysAbsentFromTable();
    void initTablesReplacesInsteadOfMerging();
};

static const FieldTable &tableNamed(const QString &name)
{
    if (name == QLatin1String("order"))
        return OLSetInitialData::orderFieldMap;
    if (name == QLatin1String("orderPhoto"))
        return OLSetInitialData::orderPhotoFieldMap;
    if (name == QLatin1String("service"))
        return OLSetInitialData::serviceFieldMap;
    return OLSetInitialData::sampleFieldMap;
}

static FieldTable buildTableNamed(const QString &name)
{
    if (name == QLatin1String("order"))
        return OLSetInitialData::orderFields();
    if (name == QLatin1String("orderPhoto"))
        return OLSetInitialData::orderPhotoFields();
    if (name == QLatin1String("service"))
        return OLSetInitialData::serviceFields();
    return OLSetInitialData::sampleFields();
}

static const QStringList allTables = {
    QStringLiteral("order"),
    QStringLiteral("orderPhoto"),
    QStringLiteral("service"),
    QStringLiteral("sample"),
};

void TestOLSetInitialData::emptyAndDefaultBeforeInit()
{
    for (const QString &name : allTables) {
        const FieldTable &table = tableNamed(name);
        QVERIFY2(table.isEmpty(), qPrintable(name));
        const OLFieldDef def = table.value(QStringLiteral("id"));
        QVERIFY(def.type.isEmpty());
        QVERIFY(def.label.isEmpty());
        QVERIFY(def.name.isEmpty());
        QVERIFY(def.key.isEmpty());
        QVERIFY(def.flag);
        QVERIFY(!def.spareFlag);
    }

    const OLFieldDef built(QStringLiteral("text"), QStringLiteral("女姓名"), QStringLiteral("wname"), QStringLiteral("wname"), false);
    QVERIFY(!built.flag);
    QVERIFY(!built.spareFlag);
}

void TestOLSetInitialData::instanceNeitherFillsNorClears()
{
    {
        OLSetInitialData data;
    }
    QVERIFY(OLSetInitialData::orderFieldMap.isEmpty());

    OLSetInitialData::initTables();
    {
        QObject parent;
        auto *data = new OLSetInitialData(&parent);
        QCOMPARE(data->parent(), &parent);
    }
    QCOMPARE(OLSetInitialData::orderFieldMap.size(), 292);
}

void TestOLSetInitialData::figuresPerTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("ints");
    QTest::addColumn<int>("texts");
    QTest::addColumn<int>("floats");
    QTest::addColumn<int>("imgurls");
    QTest::addColumn<int>("types");
    QTest::addColumn<int>("labelIsKey");
    QTest::addColumn<int>("nameIsNotKey");
    QTest::addColumn<int>("flagFalse");

    QTest::newRow("order master") << "order" << 292 << 207 << 75 << 10 << 0 << 0 << 32 << 0 << 0;
    QTest::newRow("order photo") << "orderPhoto" << 279 << 254 << 14 << 5 << 4 << 2 << 37 << 15 << 12;
    QTest::newRow("shooting") << "service" << 160 << 128 << 29 << 3 << 0 << 0 << 18 << 0 << 0;
    QTest::newRow("sample") << "sample" << 27 << 22 << 2 << 3 << 0 << 0 << 16 << 0 << 0;
}

void TestOLSetInitialData::figuresPerTable()
{
    QFETCH(QString, table);
    QFETCH(int, entries);
    QFETCH(int, ints);
    QFETCH(int, texts);
    QFETCH(int, floats);
    QFETCH(int, imgurls);
    QFETCH(int, types);
    QFETCH(int, labelIsKey);
    QFETCH(int, nameIsNotKey);
    QFETCH(int, flagFalse);

    OLSetInitialData::initTables();
    const FieldTable built = buildTableNamed(table);
    QCOMPARE(tableNamed(table), built);
    QCOMPARE(buildTableNamed(table), built);

    QMap<QString, int> perType;
    int labelsEqualToKey = 0;
    int namesOtherThanKey = 0;
    int flagsFalse = 0;
    for (auto it = built.cbegin(); it != built.cend(); ++it) {
        const OLFieldDef &def = it.value();
        QCOMPARE(def.key, it.key());
        QVERIFY2(!def.label.isEmpty() && !def.name.isEmpty(), qPrintable(def.key));
        QVERIFY(!def.spareFlag);
        ++perType[def.type];
        labelsEqualToKey += def.label == def.key;
        namesOtherThanKey += def.name != def.key;
        flagsFalse += !def.flag;
    }

    QCOMPARE(built.size(), entries);
    QCOMPARE(perType.value(QStringLiteral("int")), ints);
    QCOMPARE(perType.value(QStringLiteral("text")), texts);
    QCOMPARE(perType.value(QStringLiteral("float")), floats);
    QCOMPARE(perType.value(QStringLiteral("imgurl")), imgurls);
    QCOMPARE(perType.value(QStringLiteral("type")), types);
    // No other type slipped in through a typo.
    QCOMPARE(ints + texts + floats + imgurls + types, entries);
    QCOMPARE(labelsEqualToKey, labelIsKey);
    QCOMPARE(namesOtherThanKey, nameIsNotKey);
    QCOMPARE(flagsFalse, flagFalse);
}

void TestOLSetInitialData::flagFalseOnlyOnOrderPhotoIdsAndMarkers()
{
    OLSetInitialData::initTables();
    const QSet<QString> expected = {
        QStringLiteral("id"),
        QStringLiteral("orderid"),
        QStringLiteral("companyid"),
        QStringLiteral("dovrenna_remark1_push"),
        QStringLiteral("dovrenna_remark2_push"),
        QStringLiteral("dovrenna_remark4_push"),
        QStringLiteral("push_photo"),
        QStringLiteral("push_sample"),
        QStringLiteral("push_kanjingxiu"),
        QStringLiteral("push_pickup"),
        QStringLiteral("ispushwangpan"),
        QStringLiteral("isdeal"),
    };
    QSet<QString> flagFalse;
    for (const OLFieldDef &def : qAsConst(OLSetInitialData::orderPhotoFieldMap)) {
        if (!def.flag)
            flagFalse.insert(def.key);
    }
    QCOMPARE(flagFalse, expected);

    // The same keys elsewhere keep flag true.
    QVERIFY(OLSetInitialData::orderFieldMap.value(QStringLiteral("id")).flag);
    QVERIFY(OLSetInitialData::serviceFieldMap.value(QStringLiteral("companyid")).flag);
    QVERIFY(OLSetInitialData::sampleFieldMap.value(QStringLiteral("id")).flag);
}

void TestOLSetInitialData::referenceFieldsNameTheirText()
{
    OLSetInitialData::initTables();
    QMap<QString, QString> expected = {
        {QStringLiteral("sampleid"), QStringLiteral("samplename")},
        {QStringLiteral("photoreviewserid"), QStringLiteral("photoreviewsername")},
        {QStringLiteral("tostoresamplingid"), QStringLiteral("tostoresamplingtitle")},
    };
    for (const QString &role : {QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("10"),
                                QStringLiteral("20")}) {
        expected.insert(QStringLiteral("role%1personid").arg(role), QStringLiteral("role%1personname").arg(role));
        expected.insert(QStringLiteral("role%1personteamid").arg(role), QStringLiteral("role%1personteamname").arg(role));
    }

    QMap<QString, QString> actual;
    for (const OLFieldDef &def : qAsConst(OLSetInitialData::orderPhotoFieldMap)) {
        if (def.name != def.key)
            actual.insert(def.key, def.name);
    }
    QCOMPARE(actual, expected);
}

void TestOLSetInitialData::sharedLabels_data()
{
    QTest::addColumn<QString>("table");
    // Each shared label with the keys it labels, joined by ","; anything else
    // shared is a row that took its neighbour's label.
    QTest::addColumn<QStringList>("shared");

    QTest::newRow("order master") << "order"
                                  << QStringList{QStringLiteral("是否退单=is_cancel,istuidan"),
                                                 QStringLiteral("退单时间=cancel_time,tuidantime")};
    QTest::newRow("order photo") << "orderPhoto"
                                 << QStringList{QStringLiteral("任务完成人=finish_id,truing_finish_id"),
                                                QStringLiteral("任务完成时间=finish_time,truing_finish_time"),
                                                QStringLiteral("任务是否完成=isfinish,xytruing_isfinish"),
                                                QStringLiteral("分配人=allotid,truing_allotid"),
                                                QStringLiteral("分配时间=allot_time,truing_allot_time"),
                                                QStringLiteral("是否分配=isallot,truing_isallot,xytruing_isallot")};
    QTest::newRow("shooting") << "service"
                              << QStringList{QStringLiteral("拍摄等级=levelid,photolevel"), QStringLiteral("是否通知=isinform,isnotice")};
    QTest::newRow("sample") << "sample" << QStringList();
}

void TestOLSetInitialData::sharedLabels()
{
    QFETCH(QString, table);
    QFETCH(QStringList, shared);

    OLSetInitialData::initTables();
    // Keys come in key order, so each label's keys are sorted already.
    QMap<QString, QStringList> keysByLabel;
    for (const OLFieldDef &def : tableNamed(table)) {
        if (def.label != def.key)
            keysByLabel[def.label].append(def.key);
    }
    QStringList actual;
    for (auto it = keysByLabel.cbegin(); it != keysByLabel.cend(); ++it) {
        if (it.value().size() > 1)
            actual.append(it.key() + QLatin1Char('=') + it.value().join(QLatin1Char(',')));
    }
    shared.sort();
    QCOMPARE(actual, shared);
}

void TestOLSetInitialData::iterationFollowsKeyOrder()
{
    OLSetInitialData::initTables();
    const FieldTable &order = OLSetInitialData::orderFieldMap;
    const QStringList orderKeys = order.keys();
    QCOMPARE(orderKeys.first(), QStringLiteral("abandon"));
    QCOMPARE(orderKeys.last(), QStringLiteral("ylorderid"));
    // The record lists id first; the table walks by key.
    QVERIFY(orderKeys.indexOf(QStringLiteral("companyid")) < orderKeys.indexOf(QStringLiteral("id")));
    // "_" sorts before lower-case letters.
    QVERIFY(orderKeys.indexOf(QStringLiteral("xd_order_photo_id")) < orderKeys.indexOf(QStringLiteral("xd_orderid")));
    QCOMPARE(order.cbegin().value().key, QStringLiteral("abandon"));

    const QStringList sampleKeys = OLSetInitialData::sampleFieldMap.keys();
    QCOMPARE(sampleKeys.first(), QStringLiteral("addid"));
    QCOMPARE(sampleKeys.last(), QStringLiteral("xp_remark"));
}

void TestOLSetInitialData::definitions_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("flag");

    const QString o = QStringLiteral("order");
    const QString p = QStringLiteral("orderPhoto");
    const QString s = QStringLiteral("service");
    const QString x = QStringLiteral("sample");

    QTest::newRow("order wname") << o << "wname" << "text" << "女姓名" << "wname" << true;
    QTest::newRow("order id labelled by key") << o << "id" << "int" << "id" << "id" << true;
    QTest::newRow("order companyid") << o << "companyid" << "int" << "集团id" << "companyid" << true;
    QTest::newRow("order two blanks") << o << "wxid" << "int" << "网销人ID  邀约" << "wxid" << true;
    QTest::newRow("order three blanks") << o << "msid" << "int" << "门市人ID   预约" << "msid" << true;
    QTest::newRow("order inner blank") << o << "f_time" << "int" << "分单轮次 三次就是公海" << "f_time" << true;
    QTest::newRow("order full-width brackets") << o << "shoot_start_time" << "int" << "首次拍摄时间（每次都会更新）" << "shoot_start_time"
                                               << true;
    QTest::newRow("order ascii brackets") << o << "orderdisprice" << "float" << "订单应收价格(主要用来计算是否欠款)"
                                          << "orderdisprice" << true;
    QTest::newRow("order amount as text") << o << "budget" << "text" << "客户预算" << "budget" << true;
    QTest::newRow("order cancel_time") << o << "cancel_time" << "int" << "退单时间" << "cancel_time" << true;
    QTest::newRow("order app_confirm") << o << "app_confirm" << "int" << "DovrennaAPP是否确认" << "app_confirm" << true;
    QTest::newRow("order storesid") << o << "storesid" << "int" << "门店id" << "storesid" << true;
    QTest::newRow("order isexport") << o << "isexport" << "int" << "isexport" << "isexport" << true;
    QTest::newRow("order fulfil_time") << o << "fulfil_time" << "int" << "全套结单时间" << "fulfil_time" << true;
    QTest::newRow("order wrbfans like its neighbours") << o << "wrbfans" << "int" << "女小红书粉丝数" << "wrbfans" << true;
    QTest::newRow("order last entry") << o << "isaddwechat" << "int" << "标记微信" << "isaddwechat" << true;

    QTest::newRow("photo sampleid") << p << "sampleid" << "int" << "选样锁定人" << "samplename" << true;
    QTest::newRow("photo role7personid") << p << "role7personid" << "int" << "role7personid" << "role7personname" << true;
    QTest::newRow("photo issystem5") << p << "issystem5" << "int" << "第5阶段" << "issystem5" << true;
    QTest::newRow("photo isfulfil") << p << "isfulfil" << "type" << "是否结单" << "isfulfil" << true;
    QTest::newRow("photo isphotos") << p << "isphotos" << "type" << "全套是否拍照完成" << "isphotos" << true;
    QTest::newRow("photo kanban_img") << p << "kanban_img" << "imgurl" << "看版签字图片" << "kanban_img" << true;
    QTest::newRow("photo netpath") << p << "netpath" << "text" << "本地云导片路径" << "netpath" << true;
    QTest::newRow("photo payment_amount") << p << "payment_amount" << "int" << "化妆师收款金额" << "payment_amount" << true;
    QTest::newRow("photo trailing blank") << p << "truing_isfinish" << "int" << "任务是否完成 " << "truing_isfinish" << true;
    QTest::newRow("photo no trailing blank") << p << "xytruing_isfinish" << "int" << "任务是否完成" << "xytruing_isfinish" << true;
    QTest::newRow("photo inner blank") << p << "kfremark" << "text" << "客服备注 回访列表" << "kfremark" << true;
    QTest::newRow("photo full-width brackets") << p << "role8" << "int" << "初修师（样后修片）" << "role8" << true;
    QTest::newRow("photo ascii brackets") << p << "role7" << "int" << "调色师(样前对比片)" << "role7" << true;
    QTest::newRow("photo servicetimes") << p << "servicetimes" << "int" << "服务次" << "servicetimes" << true;
    QTest::newRow("photo shotdate") << p << "shotdate" << "int" << "首次拍照日期" << "shotdate" << true;
    QTest::newRow("photo id") << p << "id" << "int" << "id" << "id" << false;
    QTest::newRow("photo isdeal") << p << "isdeal" << "int" << "是否处理" << "isdeal" << false;
    QTest::newRow("photo sampletype") << p << "sampletype" << "int" << "选样类别" << "sampletype" << true;
    QTest::newRow("photo twosales") << p << "twosales" << "float" << "二销总额" << "twosales" << true;
    QTest::newRow("photo role9allot like its neighbours") << p << "role9allot" << "int" << "精修师分配时间" << "role9allot" << true;
    QTest::newRow("photo role21finish like its neighbours") << p << "role21finish" << "int" << "质检员完成时间" << "role21finish"
                                                            << true;
    QTest::newRow("photo last entry") << p << "iszsjx" << "int" << "是否赠送简修" << "iszsjx" << true;

    QTest::newRow("service role1") << s << "role1" << "int" << "摄影师" << "role1" << true;
    QTest::newRow("service type") << s << "type" << "int" << "订单类型" << "type" << true;
    QTest::newRow("service isfulfil") << s << "isfulfil" << "int" << "订单是否完成" << "isfulfil" << true;
    QTest::newRow("service isremk") << s << "isremk" << "int" << "拍摄次是否评价" << "isremk" << true;
    QTest::newRow("service cancel_time") << s << "cancel_time" << "int" << "取消时间" << "cancel_time" << true;
    QTest::newRow("service isexport") << s << "isexport" << "int" << "是否导出" << "isexport" << true;
    QTest::newRow("service serveshopid") << s << "serveshopid" << "int" << "服务门店" << "serveshopid" << true;
    QTest::newRow("service servicetimes") << s << "servicetimes" << "int" << "第几次拍摄" << "servicetimes" << true;
    QTest::newRow("service id as text") << s << "sitinid" << "text" << "内景" << "sitinid" << true;
    QTest::newRow("service inner blank") << s << "photo_number_type" << "int" << "拍摄张数 合格率" << "photo_number_type" << true;
    QTest::newRow("service float") << s << "technology_arve" << "float" << "技术标准2.0完成率" << "technology_arve" << true;

    QTest::newRow("sample sampletype") << x << "sampletype" << "int" << "选样类型" << "sampletype" << true;
    QTest::newRow("sample role12finish") << x << "role12finish" << "int" << "完成日期" << "role12finish" << true;
    QTest::newRow("sample photosampleid") << x << "photosampleid" << "int" << "档期id" << "photosampleid" << true;
    QTest::newRow("sample sampledate") << x << "sampledate" << "int" << "sampledate" << "sampledate" << true;
    QTest::newRow("sample servicetimes") << x << "servicetimes" << "int" << "servicetimes" << "servicetimes" << true;
    QTest::newRow("sample two_price") << x << "two_price" << "float" << "复购金额" << "two_price" << true;
    QTest::newRow("sample xp_remark") << x << "xp_remark" << "text" << "选片备注" << "xp_remark" << true;
}

void TestOLSetInitialData::definitions()
{
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QString, type);
    QFETCH(QString, label);
    QFETCH(QString, name);
    QFETCH(bool, flag);

    OLSetInitialData::initTables();
    const FieldTable &fields = tableNamed(table);
    QVERIFY(fields.contains(key));
    const OLFieldDef def = fields.value(key);
    QCOMPARE(def.type, type);
    QCOMPARE(def.label, label);
    QCOMPARE(def.name, name);
    QCOMPARE(def.key, key);
    QCOMPARE(def.flag, flag);
    QCOMPARE(def.spareFlag, false);
}

void TestOLSetInitialData::keysAbsentFromTable_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");

    QTest::newRow("order has no orderid") << "order" << "orderid";
    QTest::newRow("order has no order_photo_id") << "order" << "order_photo_id";
    QTest::newRow("order has no servicetimes") << "order" << "servicetimes";
    QTest::newRow("order photo has no order_photo_id") << "orderPhoto" << "order_photo_id";
}

void TestOLSetInitialData::keysAbsentFromTable()
{
    QFETCH(QString, table);
    QFETCH(QString, key);

    OLSetInitialData::initTables();
    QVERIFY(!tableNamed(table).contains(key));
}

void TestOLSetInitialData::initTablesReplacesInsteadOfMerging()
{
    OLSetInitialData::initTables();
    const FieldTable order = OLSetInitialData::orderFieldMap;
    const FieldTable orderPhoto = OLSetInitialData::orderPhotoFieldMap;
    const FieldTable service = OLSetInitialData::serviceFieldMap;
    const FieldTable sample = OLSetInitialData::sampleFieldMap;

    // Whatever a consumer left in the tables goes with the next fill.
    const OLFieldDef stray(QStringLiteral("text"), QStringLiteral("临时"), QStringLiteral("stray"), QStringLiteral("stray"), true);
    for (FieldTable *table : {&OLSetInitialData::orderFieldMap, &OLSetInitialData::orderPhotoFieldMap, &OLSetInitialData::serviceFieldMap,
                              &OLSetInitialData::sampleFieldMap}) {
        table->insert(stray.key, stray);
        (*table)[QStringLiteral("id")].label = QStringLiteral("改过");
        (*table)[QStringLiteral("id")].spareFlag = true;
    }

    OLSetInitialData::initTables();
    QCOMPARE(OLSetInitialData::orderFieldMap, order);
    QCOMPARE(OLSetInitialData::orderPhotoFieldMap, orderPhoto);
    QCOMPARE(OLSetInitialData::serviceFieldMap, service);
    QCOMPARE(OLSetInitialData::sampleFieldMap, sample);
    QCOMPARE(OLSetInitialData::orderFieldMap.size(), 292);
    QCOMPARE(OLSetInitialData::sampleFieldMap.size(), 27);
}

QTEST_GUILESS_MAIN(TestOLSetInitialData)
#include "tst_olsetinitialdata.moc"
