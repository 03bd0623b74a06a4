#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// The in-memory data of the fake order service: accounts, shops, orders with
// their photos. It is kept as JSON because the replies are JSON and tests
// load and compare it as JSON. Layout:
//   "accounts": [{"username", "password", "UID", "SUPERID", "EID",
//                 "shops": ["<shop id>", ...]}]
//   "shops":    [{"id", "name", "goodsfoldernamerule", "SUPERID", "EID"}]
//   "orders":   [{"shopid", "id", "order_photo_id", "orderpayforkey",
//                 "servicetimes", "mname", "wname", "shotdate",
//                 "imagesize_small", "imagesize_middle", "imagesize_big",
//                 "issample", "tiaosename", "storesname", "selectphotoname",
//                 "wphone", "mphone", "selectphototime", "role1", "role2",
//                 "netpath", "picpathnew": {"netpath"},
//                 "images": [{"id", "img_name", "url", "localpath", "type"}],
//                 "images_taipian": [...]}]
//   "persons":  [{"id", "name", "shopid"}]
//   "nextId":   the next number newId() hands out
// Every id and "code" is a JSON string, as the service sends them.
class FakeModel
{
public:
    FakeModel();

    void load(const QJsonObject &data);
    // Appends the items of every list of `data` to the model's list of the
    // same key; other values replace the model's. Each tool keeps its demo
    // orders in a data file of its own that is merged this way.
    void merge(const QJsonObject &data);
    QJsonObject toJson() const { return m_data; }

    // A small data set every test starts with: account "tester" / "secret"
    // (UID "501"), shops "11" "一号店" and "12" "二号店", three orders.
    static QJsonObject testData();

    // An address the program can fetch a reported file from: the local file
    // itself, where the service would serve its copy.
    static QString fileUrl(const QString &path);
    // count copies of order as a search of many orders lists them: each its
    // own id, photo id, order number (prefix + id) and customer name; ids
    // count up from firstId.
    static QJsonArray manyOrders(const QJsonObject &order, int count, const QString &prefix = QStringLiteral("DD"),
                                 int firstId = 100000);

    QJsonArray list(const QString &key) const { return m_data.value(key).toArray(); }
    void setList(const QString &key, const QJsonArray &items) { m_data.insert(key, items); }

    // Index of the first object of the list whose member `field` is `value`,
    // or -1.
    int indexOf(const QString &key, const QString &field, const QString &value) const;
    QJsonObject find(const QString &key, const QString &field, const QString &value) const;
    void replaceAt(const QString &key, int index, const QJsonObject &item);
    void append(const QString &key, const QJsonObject &item);
    void removeAt(const QString &key, int index);

    QJsonObject account(const QString &username) const { return find(QStringLiteral("accounts"), QStringLiteral("username"), username); }
    QJsonObject shop(const QString &id) const { return find(QStringLiteral("shops"), QStringLiteral("id"), id); }
    QJsonArray shopsOf(const QJsonObject &account) const;
    QJsonArray ordersOf(const QString &shopId) const;
    int orderIndex(const QString &orderPhotoId) const { return indexOf(QStringLiteral("orders"), QStringLiteral("order_photo_id"), orderPhotoId); }
    QJsonObject order(const QString &orderPhotoId) const { return find(QStringLiteral("orders"), QStringLiteral("order_photo_id"), orderPhotoId); }

    // A fresh id as text, unique within this model.
    QString newId();

private:
    QJsonObject m_data;
};
