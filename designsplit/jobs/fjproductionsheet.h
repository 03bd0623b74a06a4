#pragma once

#include <functional>

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// The order production sheet: one HTML document laid out by Qt's rich-text
// engine and printed to an A4 PDF. Every value from the order service is
// escaped, except the shop's disclaimer and the consumption statement, which
// the shop writes as markup; pictures come only from data: URLs that the
// caller's picture source returns, never from files or addresses named in
// the markup.
class FJProductionSheet
{
public:
    enum class Picture {
        Barcode,
        Marked,
        Product,
        SubProduct,
        Selected,
        Base,
    };
    // The "src" text of a picture record of the given kind.
    using PictureSource = std::function<QString(Picture, const QJsonObject &)>;

    struct Data
    {
        QJsonObject order;
        // The selection visits ("servicetime").
        QJsonArray visits;
        // The number of visits printed after each visit's number.
        QString serviceCount;
        // Marked photos with "img_name" and "remark".
        QJsonArray markedPhotos;
        QJsonArray selectedPhotos;
        QJsonArray basePhotos;
    };

    // older: the layout of the dispatcher's own builder (quality date,
    // product and photo counts from the rows, no padding cells).
    FJProductionSheet(const Data &data, PictureSource source, bool older = false);

    QString html() const;

    // Lays out html and prints it to an A4 PDF at path inside orderFolder
    // (replacing an older one only when the new file is complete, never
    // through a link). False, with a reason, when no PDF was written.
    static bool print(const QString &html, const QString &path, const QString &orderFolder,
                      QString *error = nullptr);

private:
    QString titleBlock() const;
    QString markedSection() const;
    QString productTables() const;
    QString productTable(int visitIndex, const QJsonObject &visit, bool urgent) const;
    QString tableTitle(int visitIndex, const QJsonObject &visit, bool urgent) const;
    QString photoSections() const;

    Data m_data;
    PictureSource m_source;
    bool m_older;
};
