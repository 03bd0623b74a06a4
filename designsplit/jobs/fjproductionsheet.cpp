#include "designsplit/jobs/fjproductionsheet.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include "base/confined.h"
#include "base/k.h"
#include "base/pathutil.h"
#include "designsplit/jobs/fjlog.h"

namespace {

QString str(const QJsonObject &object, const QString &key)
{
    return object.value(key).toString();
}

// A service value as HTML text.
QString esc(const QJsonObject &object, const QString &key)
{
    return str(object, key).toHtmlEscaped();
}

QString timeTxt(const QJsonObject &order, const QString &key)
{
    return str(order.value(key).toObject(), QStringLiteral("timeTxt"));
}

// ":00" is what the service sends for a view or pickup time nobody set.
QString unlessUnset(const QString &time)
{
    return time == QLatin1String(":00") ? QString() : time;
}

QString withPeriod(const QString &date, const QString &period)
{
    if (period.isEmpty() || period == QLatin1String(":00"))
        return date;
    return date + QLatin1Char('(') + period + QLatin1Char(')');
}

QString infoCell(const QString &label, const QString &value)
{
    return QStringLiteral("    <td class=\"td_thin\" width=\"25%\"><div align=\"left\">") + label
           + QStringLiteral(":   ") + value + QStringLiteral("</div></td>");
}

QString fullCell(const QString &label, const QString &value, const QString &align)
{
    return QStringLiteral("    <td class=\"td_thin\" colspan=\"4\"><div align=\"") + align + QStringLiteral("\">")
           + label + QStringLiteral(":   ") + value + QStringLiteral("</div></td>");
}

QString row(const QStringList &cells)
{
    return QStringLiteral("  <tr>") + cells.join(QString()) + QStringLiteral("  </tr>");
}

// An order value as HTML text.
QString val(const QJsonObject &order, const char *key)
{
    return esc(order, QString::fromLatin1(key));
}

using Picture = FJProductionSheet::Picture;
using PictureSource = FJProductionSheet::PictureSource;

const QChar kNbsp(0x00a0);

QString documentHead(bool older)
{
    QString h = QStringLiteral("<HTML><head>");
    if (older) {
        h += QStringLiteral("<meta http-equiv=\"Content-Language\" content=\"zh-cn\">"
                            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb232\">");
    } else {
        h += QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb232\">"
                            "<meta http-equiv=\"Content-Language\" content=\"zh-cn\">");
    }
    h += QStringLiteral("<title></title>"
                        "<style type=\"text/css\"><!--\n"
                        ".style1 {font-size: 24px; font-weight: bold;}\n"
                        ".style2 {font-size: 16px; font-weight: bold;}\n"
                        ".style4 {font-size: 16px; font-weight: bold;}\n"
                        ".style3 {font-size: 12px;}\n"
                        ".justify1 {display: inline-block; width: 100%; overflow: hidden;}\n"
                        "body,td,th {font-size: 14px;}\n"
                        "p { margin: 0px; padding: 0px;}\n"
                        "--></style>"
                        "</head><body leftmargin=\"0\"><div align=\"center\">");
    return h;
}

// The order number, the couple, the package and the order's dates.
QString orderRows(const QJsonObject &o)
{
    QString sampleTime;
    if (!str(o, QStringLiteral("samplestarttime")).isEmpty() && !str(o, QStringLiteral("samplestartmin")).isEmpty())
        sampleTime = val(o, "samplestarttime") + QLatin1Char(':') + val(o, "samplestartmin");
    const QString retouchView = unlessUnset(timeTxt(o, QStringLiteral("kanjinxiuarea"))).toHtmlEscaped();
    const QString proofView = unlessUnset(timeTxt(o, QStringLiteral("kanbanarea"))).toHtmlEscaped();

    QString h = row({fullCell(QStringLiteral("订单号"),
                              val(o, "orderpayforkey") + QStringLiteral("(服务次:") + val(o, "servicetimes")
                                  + QLatin1Char('/') + val(o, "count") + QLatin1Char(')'),
                              QStringLiteral("center"))});
    h += row({infoCell(QStringLiteral("男士"), val(o, "mname")), infoCell(QStringLiteral("手机"), val(o, "mphone")),
              infoCell(QStringLiteral("女士"), val(o, "wname")), infoCell(QStringLiteral("手机"), val(o, "wphone"))});
    h += row({infoCell(QStringLiteral("套系"), val(o, "s2_name")), infoCell(QStringLiteral("预约店"), val(o, "mssid")),
              infoCell(QStringLiteral("服务店"), val(o, "servershopid")),
              infoCell(QStringLiteral("预约日期"), val(o, "booktime"))});
    h += row({infoCell(QStringLiteral("拍照日期"), val(o, "photodate")),
              infoCell(QStringLiteral("选片日期"), val(o, "selectphotodate") + QLatin1Char(' ') + sampleTime),
              infoCell(QStringLiteral("看精修日期"), val(o, "checktruing") + QLatin1Char(' ') + retouchView),
              infoCell(QStringLiteral("看版日期"), val(o, "comparedate") + QLatin1Char(' ') + proofView)});
    return h;
}

// The shop's people on the order and the photo counts agreed.
QString staffRows(const QJsonObject &o)
{
    QString h = row({infoCell(QStringLiteral("门市"), val(o, "booksuccess")),
                     infoCell(QStringLiteral("网约"), val(o, "wxname")),
                     infoCell(QStringLiteral("推广"), val(o, "tuiguangname")),
                     infoCell(QStringLiteral("选片师"), val(o, "selectphoto"))});
    h += row({infoCell(QStringLiteral("对比片选中张数"), val(o, "yqnumber")),
              infoCell(QStringLiteral("相册P数"), val(o, "goodpnumber")),
              infoCell(QStringLiteral("套系约定精修"), val(o, "vipphotonumber")),
              infoCell(QStringLiteral("已选张数"), val(o, "yx_number"))});
    h += row({infoCell(QStringLiteral("摄影师"), val(o, "role1")), infoCell(QStringLiteral("摄像师"), val(o, "role17")),
              infoCell(QStringLiteral("化妆师"), val(o, "role2")), infoCell(QStringLiteral("男士邮箱"), val(o, "mmail"))});
    h += row({infoCell(QStringLiteral("摄助"), val(o, "role3")), infoCell(QStringLiteral("剪辑师"), val(o, "role16")),
              infoCell(QStringLiteral("化助"), val(o, "role4")), infoCell(QStringLiteral("女士邮箱"), val(o, "wmail"))});
    h += row({infoCell(QStringLiteral("精修师"), val(o, "role9name")),
              infoCell(QStringLiteral("转档师"), val(o, "role6name")), infoCell(QString(), QString()),
              infoCell(QString(), QString())});
    return h;
}

// The money, the designers, the delivery and what was bought.
QString salesRows(const QJsonObject &o, bool older)
{
    QString h = row({infoCell(QStringLiteral("预约金额"), val(o, "order_price")),
                     infoCell(QStringLiteral("二销总额"), val(o, "twosales")),
                     infoCell(QStringLiteral("二销欠款"), val(o, "dept")),
                     infoCell(QStringLiteral("支付方式"), val(o, "pay_type"))});
    h += row({infoCell(QStringLiteral("样前对比片"), val(o, "tiaose")),
              infoCell(QStringLiteral("样后修片师"), val(o, "tiaoxiu")), infoCell(QStringLiteral("设计师"), val(o, "sheji")),
              infoCell(QStringLiteral("发货日期"), val(o, "getphotodate_html") + QLatin1Char(' ')
                                                     + timeTxt(o, QStringLiteral("getphotoarea")).toHtmlEscaped())});
    QStringList bought{infoCell(QStringLiteral("购买毛底张数"), val(o, "buynumber")),
                       infoCell(QStringLiteral("赠送精修张数"), val(o, "activenumber")),
                       infoCell(QStringLiteral("购买精修张数"), val(o, "morephotonumber"))};
    if (older) {
        bought << QStringLiteral("    <td class=\"td_thin\" width=\"25%\" style=\"color: #FF3300;\"><div "
                                 "align=\"left\">质检日期:   ")
                      + val(o, "qualitytime") + QStringLiteral("</div></td>");
    }
    h += row(bought);
    return h;
}

// The delivery address, from the province down to the street.
QString recipientRow(const QJsonObject &o)
{
    const QString address = esc(o.value(QLatin1String("provinceid")).toObject(), QStringLiteral("areaname"))
                            + esc(o.value(QLatin1String("cityid")).toObject(), QStringLiteral("areaname"))
                            + esc(o.value(QLatin1String("countyid")).toObject(), QStringLiteral("areaname"))
                            + val(o, "address");
    return row({fullCell(QStringLiteral("收件人姓名"),
                         val(o, "recipients") + QStringLiteral("     电话：") + val(o, "sj_tel")
                             + QStringLiteral("    地址：") + address,
                         QStringLiteral("left"))});
}

QString orderInfo(const QJsonObject &o, bool older)
{
    return QStringLiteral("<table width=\"100%\" border=\"0\"><tr><td>"
                          "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\">")
           + orderRows(o) + staffRows(o) + salesRows(o, older) + recipientRow(o)
           + QStringLiteral("</table></td></tr></table><BR>");
}

QString sectionTitle(const QString &title)
{
    return QStringLiteral("<table width=\"100%\"  border=\"0\"><tr>    <td align=\"left\"><span class=\"style2\">")
           + title + QStringLiteral("</span></td></tr></table>");
}

QString textSection(const QString &title, const QString &body)
{
    return sectionTitle(title)
           + QStringLiteral("<table width=\"100%\" cellspacing=\"0\" border=\"1\">  <tr>  <td align=\"left\"><span>")
           + body + QStringLiteral("&nbsp;</span></td></tr></table><BR>");
}

// The order's overall requirements and the shop's consumption statement,
// each only when there is one.
QString requirementSections(const QJsonObject &o)
{
    QString description = val(o, "orderdescr");
    description.replace(QLatin1Char('\n'), QLatin1String("<BR>"));
    QString h;
    if (!description.isEmpty())
        h += textSection(QStringLiteral("总体要求"), description);
    // The shop writes its consumption statement as markup.
    const QString consumption = str(o, QStringLiteral("consumption_statement"));
    if (!consumption.isEmpty())
        h += textSection(QStringLiteral("消费要求"), consumption);
    return h;
}

// The numbered retouching notes of a marked photo; a remark that is not a
// list of notes gives none.
QString retouchNotes(const QString &remark)
{
    QString h;
    const QJsonArray notes = K::instance()->parseJsonArray(remark);
    for (int j = 0; j < notes.size(); ++j) {
        h += QStringLiteral("<li>")
             + QStringLiteral("%1. %2")
                   .arg(QString::number(j + 1), str(notes.at(j).toObject(), QStringLiteral("text")))
                   .toHtmlEscaped()
             + QStringLiteral("</li>");
    }
    return h;
}

// The shop's disclaimer, the signature lines and the time of printing.
QString closing(const QJsonObject &o)
{
    // The disclaimer is the shop's own markup.
    QString h = QStringLiteral("<table width=\"100%\"  border=\"0\"><tr>    <td align=\"left\"><span>")
                + str(o, QStringLiteral("shopdisclaimer")) + QStringLiteral("<BR></span></td></tr></table><BR>");
    h += QStringLiteral("<table width=\"100%\" border=\"0\"><tr>"
                        "    <td align=\"left\" class=\"style2\" width=\"18%\">选片人：")
         + val(o, "selectphotoname")
         + QStringLiteral("</td>"
                          "    <td align=\"left\" class=\"style2\" width=\"25%\">核单员：___________&nbsp;</td>"
                          "    <td align=\"left\" class=\"style2\" width=\"25%\">收发人：___________&nbsp;</td>"
                          "    <td align=\"left\" class=\"style2\" width=\"32%\">客人确认签名：___________&nbsp;</td>"
                          "</tr></table></div><BR>");
    h += QStringLiteral("<div style=\"font-size:12px\" align=\"center\"><p align=\"right\">")
         + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
         + QStringLiteral("</p></div></body></HTML>");
    return h;
}

// A grid of pictures, six to a row.
struct GridStyle
{
    QString rowOpen;
    QString rowClose;
    QString cellOpen;
    QString cellClose;
    // Empty cells that fill a short last row up to six (none when null).
    QString padding;
    // Whether a short last row is closed.
    bool closeShort = false;
};

QString pictureCell(const PictureSource &source, const QString &opener, Picture kind, const QJsonObject &picture,
                    const QString &closer)
{
    return opener + source(kind, picture).toHtmlEscaped() + QStringLiteral("\"><br>")
           + esc(picture, QStringLiteral("img_name")) + closer;
}

QString pictureGrid(const PictureSource &source, const QJsonArray &pictures, Picture kind, const GridStyle &style)
{
    QString g;
    for (int k = 0; k < pictures.size(); ++k) {
        if (k % 6 == 0)
            g += style.rowOpen;
        g += pictureCell(source, style.cellOpen, kind, pictures.at(k).toObject(), style.cellClose);
        if (k % 6 == 5)
            g += style.rowClose;
    }
    const int rest = pictures.size() % 6;
    if (rest != 0 && !style.padding.isNull()) {
        for (int k = rest; k < 6; ++k)
            g += style.padding;
    }
    if (rest != 0 && style.closeShort)
        g += style.rowClose;
    return g;
}

// The selected or base photos at the end of the sheet, with their number.
QString photoSection(const PictureSource &source, const QString &title, const QJsonArray &photos, Picture kind,
                     const QString &cellOpener)
{
    const GridStyle style{QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"),
                          QStringLiteral("  </tr>"),
                          cellOpener,
                          QStringLiteral("<BR>&nbsp;</div></td>"),
                          QString(),
                          false};
    return QStringLiteral("<BR><p align=\"center\"><span class=\"style2\">") + title + QStringLiteral(" （")
           + QString::number(photos.size()) + QStringLiteral("张）&nbsp;</span></p>")
           + QStringLiteral("<table style=\"margin-right:auto; margin-left: -20px;\" width=\"100%\"  "
                            "border=\"0\" cellspacing=\"0\" cellpadding=\"1\">")
           + pictureGrid(source, photos, kind, style) + QStringLiteral("</table><BR>");
}

QString headCell(const QString &width, const QString &title)
{
    return QStringLiteral("    <td width=\"") + width + QStringLiteral("\"><div align=\"center\">") + title
           + QStringLiteral("</div></td>");
}

// The column titles of a product table.
QString headRow(bool urgent)
{
    return QStringLiteral("  <tr bgcolor=\"#CCCCCC\">") + headCell(QStringLiteral("5%"), QStringLiteral("序号"))
           + headCell(QStringLiteral("10%"), QStringLiteral("名称")) + headCell(QStringLiteral("5%"), QStringLiteral("类别"))
           + headCell(QStringLiteral("5%"), QStringLiteral("P数")) + headCell(QStringLiteral("5%"), QStringLiteral("加P数"))
           + headCell(QStringLiteral("5%"), QStringLiteral("张数")) + headCell(QStringLiteral("5%"), QStringLiteral("数量"))
           + headCell(urgent ? QStringLiteral("20%") : QStringLiteral("25%"), QStringLiteral("制作要求"))
           + headCell(QStringLiteral("15%"), QStringLiteral("产品说明(对内)"))
           + headCell(QStringLiteral("20%"), QStringLiteral("授权备注(对外)")) + QStringLiteral("  </tr>");
}

// The cells shared by product and sub-product rows after the type cell;
// in is put before each cell. Only photo books (type 33) have page counts.
QString detailCells(const QJsonObject &item, const QString &in, bool normalEmpties)
{
    QString c;
    if (str(item, QStringLiteral("goodtypeid")) == QLatin1String("33")) {
        c += in + QStringLiteral("<td align=\"center\">") + esc(item, QStringLiteral("goodpnumber")) + QStringLiteral("</td>");
        c += in + QStringLiteral("<td align=\"center\">") + esc(item, QStringLiteral("p_num")) + QStringLiteral("</td>");
        c += in + QStringLiteral("<td align=\"center\" class=\"style2\">") + esc(item, QStringLiteral("goodpagenumber"))
             + QStringLiteral("</td>");
    } else if (normalEmpties) {
        c += in + QStringLiteral("<td align=\"center\"></td>") + in + QStringLiteral("<td align=\"center\"></td>") + in
             + QStringLiteral("<td align=\"center\" class=\"style2\"></td>");
    } else {
        c += QStringLiteral("<td align=\"center\"></td><td align=\"center\"></td><td align=\"center\"></td>");
    }
    c += in + QStringLiteral("<td align=\"center\" class=\"style2\">") + esc(item, QStringLiteral("goodamount"))
         + QStringLiteral("</td>");
    c += in + QStringLiteral("<td align=\"left\">") + esc(item, QStringLiteral("descr")) + QStringLiteral("</td>");
    c += in + QStringLiteral("<td align=\"left\">") + esc(item, QStringLiteral("goodremark")) + QStringLiteral("</td>");
    c += in + QStringLiteral("<td align=\"left\">") + esc(item, QStringLiteral("auth_remark")) + QStringLiteral("</td>");
    return c;
}

// The grids of a product table: the pictures of each sub-product and of
// each product.
struct TableGrids
{
    GridStyle sub;
    GridStyle product;
};

QString wideCell()
{
    return QStringLiteral("<td width=\"16.67%\" style=\"text-align: center; vertical-align: top; "
                          "padding: 5px;\"><div align=\"center\"><span class=\"style3\"><img "
                          "width=\"83\" height=\"83\" src=\"");
}

QString widePadding()
{
    return QStringLiteral("<td width=\"16.67%\" style=\"text-align: center;\">&nbsp;</td>");
}

// The dispatcher's own layout: narrow cells, short rows left open.
TableGrids olderGrids(bool urgent)
{
    const QString indent = urgent ? QString() : QStringLiteral("    ");
    const QString cell = QStringLiteral("<td width=5%><div align=\"center\"><span class=\"style3\"><img width=\"83\" src=\"");
    return {{QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"), QStringLiteral("  </tr>"),
             QStringLiteral("    <td  width=5%><div align=\"center\"><span class=\"style3\"><img width=\"83\" src=\""),
             QStringLiteral("</div></td>"), QString(), false},
            {urgent ? QStringLiteral("<tr bgcolor=\"#FFFFFF\">") : QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"),
             urgent ? QStringLiteral("</tr>") : QStringLiteral("  </tr>"), indent + cell, QStringLiteral("</div></td>"),
             QString(), false}};
}

TableGrids urgentGrids()
{
    const QString nb = QStringLiteral(" ") + kNbsp;
    return {{QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"), QStringLiteral("  </tr>"), QStringLiteral("    ") + wideCell(),
             QStringLiteral("</span></div></td>"), QStringLiteral("    ") + widePadding(), true},
            {nb + QStringLiteral("<tr bgcolor=\"#FFFFFF\">"), nb + QStringLiteral("</tr>"), nb + nb + wideCell(),
             QStringLiteral("</span></div></td>"), nb + nb + widePadding(), true}};
}

TableGrids normalGrids()
{
    return {{QStringLiteral("<tr>"), QStringLiteral("</tr>"),
             QStringLiteral("<td width=\"16.67%\" style=\"text-align: center; vertical-align: top;\"><span "
                            "class=\"style3\"><img width=\"83\" height=\"83\" src=\""),
             QStringLiteral("</span></td>"), QString(), true},
            {QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"), QStringLiteral("  </tr>"),
             QStringLiteral("    <td width=\"16.67%\" style=\"text-align: center; vertical-align: top; "
                            "padding: 5px;\"><div align=\"center\"><span class=\"style3\"><img width=\"83\" "
                            "height=\"83\" style=\"border: 1px solid transparent;\" src=\""),
             QStringLiteral("</span></div></td>"), QStringLiteral("    ") + widePadding(), true}};
}

QString narrowWrapper()
{
    return QStringLiteral("<table width=100%  border=0 cellspacing=0 cellpadding=1;>");
}

QString wrapperClose()
{
    return QStringLiteral("</table></td> &nbsp; </tr>");
}

// The pages a photo book (type 33) adds to the older layout's photo count.
int pages(const QJsonObject &item)
{
    if (str(item, QStringLiteral("goodtypeid")) != QLatin1String("33"))
        return 0;
    return str(item, QStringLiteral("goodpagenumber")).toInt();
}

// The product rows of one table (urgent or normal) of a visit, and the
// counts of its total line.
class ProductRows
{
public:
    ProductRows(const PictureSource &source, bool older, bool urgent)
        : m_source(source)
        , m_older(older)
        , m_urgent(urgent)
        , m_grids(older ? olderGrids(urgent) : urgent ? urgentGrids() : normalGrids())
    {
    }

    // Every product of the visit is counted; only the table's own are shown.
    void add(const QJsonObject &product)
    {
        const bool shown = belongs(product);
        count(product, shown);
        if (!shown)
            return;
        ++m_rowNumber;
        m_markup += productRow(product);
        m_markup += subProductRows(product);
        m_markup += productPictures(product);
    }

    QString markup() const { return m_markup; }

    QString totalRow() const
    {
        return QStringLiteral("<tr><td><div align=\"center\">总计</div></td>")
               + (m_older ? QStringLiteral("<td colspan=\"10\">") : QStringLiteral("<td colspan=\"9\">"))
               + QStringLiteral("<div align=\"center\">产品总数:") + QString::number(m_products)
               + QStringLiteral("件, 选中总张数共") + QString::number(m_photos)
               + QStringLiteral("张</div></td></tr></table><BR>");
    }

private:
    bool belongs(const QJsonObject &product) const
    {
        const QString flag = str(product, QStringLiteral("isurgent"));
        return m_urgent ? (flag == QLatin1String("1") || flag == QStringLiteral("加急"))
                        : (flag == QLatin1String("0") || flag.isEmpty());
    }

    // The older layout counts every product as one and photo books by their
    // pages; the newer counts the pieces of a set (type 40) and the pictures,
    // in an urgent table those of the products it does not show too.
    void count(const QJsonObject &product, bool shown)
    {
        const QJsonArray subs = product.value(QLatin1String("son_good")).toArray();
        if (!m_older && (m_urgent || shown))
            m_photos += product.value(QLatin1String("imgs")).toArray().size();
        if (!shown)
            return;
        if (m_older) {
            m_products += 1;
            m_photos += pages(product);
            for (const QJsonValue &sub : subs)
                m_photos += pages(sub.toObject());
        } else {
            m_products += str(product, QStringLiteral("goodtypeid")) == QLatin1String("40") ? subs.size() : 1;
            for (const QJsonValue &sub : subs)
                m_photos += sub.toObject().value(QLatin1String("picpath")).toArray().size();
        }
    }

    QString productRow(const QJsonObject &product) const
    {
        const QString in = m_urgent ? QString() : QStringLiteral("    ");
        const QString rowIndent = m_urgent ? QString() : QStringLiteral("  ");
        return rowIndent + QStringLiteral("<tr>") + in + QStringLiteral("<td align=\"center\">")
               + QString::number(m_rowNumber) + QStringLiteral("</td>") + in
               + QStringLiteral("<td align=\"left\" class=\"style2\">") + esc(product, QStringLiteral("goodname"))
               + QStringLiteral("</td>") + in + QStringLiteral("<td align=\"left\">")
               + esc(product, QStringLiteral("goodtypename")) + QStringLiteral("</td>")
               + detailCells(product, in, !m_urgent) + rowIndent + QStringLiteral("</tr>");
    }

    QString subProductRows(const QJsonObject &product) const
    {
        const QJsonArray subs = product.value(QLatin1String("son_good")).toArray();
        QString h;
        for (int s = 0; s < subs.size(); ++s) {
            const QJsonObject sub = subs.at(s).toObject();
            h += QStringLiteral(" <tr>");
            if (s == 0)
                h += QStringLiteral("    <td rowspan=\"") + QString::number(subRowSpan(subs))
                     + QStringLiteral("\" style=\"height: 0px \"  /td>");
            h += QStringLiteral("    <td align=\"left\" class=\"style2\">") + esc(sub, QStringLiteral("goodname"))
                 + QStringLiteral("</td>    <td align=\"left\">") + esc(sub, QStringLiteral("goodtype"))
                 + QStringLiteral("</td>") + detailCells(sub, QStringLiteral("    "), true) + QStringLiteral(" </tr>");
            h += subPictures(sub.value(QLatin1String("picpath")).toArray());
        }
        return h;
    }

    int subRowSpan(const QJsonArray &subs) const
    {
        int withPictures = 0;
        int pictureTotal = 0;
        for (const QJsonValue &sub : subs) {
            const int n = sub.toObject().value(QLatin1String("picpath")).toArray().size();
            pictureTotal += n;
            if (n > 0)
                ++withPictures;
        }
        if (!m_urgent)
            return subs.size() + withPictures;
        return m_older ? 2 * subs.size() + pictureTotal : 2 * subs.size() + withPictures;
    }

    QString subPictures(const QJsonArray &pictures) const
    {
        if (m_urgent || m_older) {
            const QString wrapperOpen = QStringLiteral("<tr><td colspan=\"10\"> ") + narrowWrapper();
            QString h = wrapperOpen;
            if (!pictures.isEmpty())
                h += wrapperOpen + pictureGrid(m_source, pictures, Picture::SubProduct, m_grids.sub) + wrapperClose();
            return h + wrapperClose();
        }
        if (pictures.isEmpty())
            return QString();
        return QStringLiteral("<tr><td colspan=\"9\"> <table width=\"100%\" border=\"0\" cellspacing=\"5\" "
                              "cellpadding=\"5\">")
               + pictureGrid(m_source, pictures, Picture::SubProduct, m_grids.sub) + QStringLiteral("</table></td></tr>");
    }

    QString productPictures(const QJsonObject &product) const
    {
        QString h;
        if (m_urgent || m_older) {
            h = (m_urgent ? QStringLiteral("<tr><td colspan=\"10\">") : QStringLiteral("<tr><td colspan=\"10\"> "))
                + narrowWrapper();
        } else {
            h = QStringLiteral("<tr><td colspan=\"9\"> <table width=\"100%\" border=\"0\" cellspacing=\"3\" "
                               "cellpadding=\"5\" style=\"table-layout: fixed; border-collapse: separate;\">");
        }
        const QJsonArray pictures = product.value(QLatin1String("imgs")).toArray();
        return h + pictureGrid(m_source, pictures, Picture::Product, m_grids.product) + wrapperClose();
    }

    const PictureSource &m_source;
    const bool m_older;
    const bool m_urgent;
    const TableGrids m_grids;
    QString m_markup;
    int m_rowNumber = 0;
    int m_products = 0;
    int m_photos = 0;
};

// Only pictures the sheet embeds itself are loaded: a file path or address
// in the shop's own markup (the disclaimer) pulls nothing into the PDF.
class SheetDocument : public QTextDocument
{
public:
    // Removes every picture that is not a data: URL. Qt's image handler
    // reads a picture whose resource did not load straight from the file
    // system, past loadResource(), so such pictures must not stay in the
    // document at all.
    void dropForeignImages()
    {
        QList<QPair<int, int>> spans;
        for (QTextBlock block = begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QTextCharFormat format = fragment.charFormat();
                if (format.isImageFormat()
                    && !format.toImageFormat().name().startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
                    spans.append({fragment.position(), fragment.length()});
            }
        }
        QTextCursor cursor(this);
        for (int i = spans.size() - 1; i >= 0; --i) {
            cursor.setPosition(spans.at(i).first);
            cursor.setPosition(spans.at(i).first + spans.at(i).second, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
            return QTextDocument::loadResource(type, name);
        if (!name.isEmpty())
            qCDebug(lcDesignSplit) << "明细制作单忽略外部资源:" << name.toString().left(200);
        return QVariant();
    }
};

} // namespace

FJProductionSheet::FJProductionSheet(const Data &data, PictureSource source, bool older)
    : m_data(data)
    , m_source(std::move(source))
    , m_older(older)
{
}

QString FJProductionSheet::html() const
{
    QString h;
    h.reserve(1 << 20);
    h += documentHead(m_older);
    h += titleBlock();
    h += orderInfo(m_data.order, m_older);
    h += requirementSections(m_data.order);
    h += markedSection();
    h += productTables();
    h += photoSections();
    h += closing(m_data.order);
    return h;
}

// The shop's name and the order's barcode.
QString FJProductionSheet::titleBlock() const
{
    return QStringLiteral("<table width=\"100%\" border=\"0\"><tr><td width=\"33%\"></td>"
                          "<td width=\"33%\" align=\"center\"><span align=\"center\" class=\"style1\">")
           + val(m_data.order, "shopname")
           + QStringLiteral("</span></td><td width=\"33%\"><img  align=\"center\"  src=\"")
           + m_source(Picture::Barcode, QJsonObject()).toHtmlEscaped()
           + QStringLiteral("\" /></td></tr></table><br>");
}

// The marked photos with their retouching notes, two to a row.
QString FJProductionSheet::markedSection() const
{
    const QJsonArray &photos = m_data.markedPhotos;
    if (photos.isEmpty())
        return QString();
    QString h = sectionTitle(QStringLiteral("调修要求"));
    h += QStringLiteral("<table cellspacing=\"0\" cellspacing=\"10\" cellpadding=\"10\" width=\"100%\" frame=\"box\">");
    for (int i = 0; i < photos.size(); ++i) {
        const QJsonObject marked = photos.at(i).toObject();
        if (i % 2 == 0)
            h += QStringLiteral("<tr>");
        h += QStringLiteral("<td><img style=\"margin-right: 10;\" src=\"")
             + m_source(Picture::Marked, marked).toHtmlEscaped()
             + QStringLiteral("\"height=\"120\" width=\"120\"align=\"left\"><ui style=\"list-style-type: none;\">");
        h += retouchNotes(str(marked, QStringLiteral("remark")));
        h += QStringLiteral("</ui></td>");
        if (i % 2 == 1)
            h += QStringLiteral("</tr>");
    }
    return h + QStringLiteral("</table><BR>");
}

// Each visit's urgent table, then its normal one, when it has such products.
QString FJProductionSheet::productTables() const
{
    QString h = QStringLiteral("<p><span class=\"style2\">指定制作</span></p>");
    for (int i = 0; i < m_data.visits.size(); ++i) {
        const QJsonObject visit = m_data.visits.at(i).toObject();
        if (!visit.value(QLatin1String("urgentgoods")).toArray().isEmpty())
            h += productTable(i, visit, true);
        if (!visit.value(QLatin1String("goods")).toArray().isEmpty())
            h += productTable(i, visit, false);
    }
    return h;
}

QString FJProductionSheet::productTable(int visitIndex, const QJsonObject &visit, bool urgent) const
{
    const QJsonArray products = visit.value(urgent ? QLatin1String("urgentgoods") : QLatin1String("goods")).toArray();
    QString h = tableTitle(visitIndex, visit, urgent);
    h += headRow(urgent);
    ProductRows rows(m_source, m_older, urgent);
    for (const QJsonValue &value : products)
        rows.add(value.toObject());
    return h + rows.markup() + rows.totalRow();
}

// The table's first line: urgent or normal, the visit and its selector, and
// when the products are picked up.
QString FJProductionSheet::tableTitle(int visitIndex, const QJsonObject &visit, bool urgent) const
{
    const QJsonObject &o = m_data.order;
    QString h;
    if (urgent) {
        h += QStringLiteral("<table class=\"thinborder\" width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\">"
                            "  <tr>  <td colspan=\"10\"><span class=\"style4\"><font font-weight: bold; "
                            "color=\"#FF0000\">加急件：");
    } else {
        h += QStringLiteral("<table class=\"thinborder\" width=\"100%\"   border=\"1\" cellspacing=\"0\" cellpadding=\"1\">"
                            "  <tr>  <td colspan=\"10\"><span class=\"style2\"><font color=\"#000000\">普通件：");
    }
    if (str(visit, QStringLiteral("order_sample_infoservicetimes")) == QLatin1String("0")) {
        h += QStringLiteral("未操作产品");
    } else {
        h += QStringLiteral("选片次:") + QString::number(visitIndex + 1) + QLatin1Char('/')
             + m_data.serviceCount.toHtmlEscaped();
        const QString selector = esc(visit, QStringLiteral("role12name"));
        if (urgent)
            h += QStringLiteral("  选片师: <span style=\"color: 000000\">") + selector + QStringLiteral("</span>  ");
        else
            h += QStringLiteral("  选片师:") + selector + QStringLiteral("  ");
    }
    const QString pickup = urgent ? withPeriod(str(o, QStringLiteral("isurgenttime")), timeTxt(o, QStringLiteral("urgentdatearea")))
                                  : withPeriod(str(o, QStringLiteral("pickuptime")), timeTxt(o, QStringLiteral("getphotoarea")));
    h += pickup.toHtmlEscaped() + QStringLiteral("取件</font></span>&nbsp;</td></tr>");
    return h;
}

QString FJProductionSheet::photoSections() const
{
    const QString plainCell = QStringLiteral("    <td><div align=\"center\"><img src=\"");
    // Six selected photos to a row must fit the A4 page (about 794 px at the
    // document's 96 dpi): at 150 px the sixth column fell off the sheet.
    QString h = photoSection(m_source, QStringLiteral("已选张数"), m_data.selectedPhotos, Picture::Selected,
                             m_older ? plainCell
                                     : QStringLiteral("    <td><div align=\"center\"><img style=\"object-fit: contain;\" "
                                                      "width=\"120\" height=\"120\" src=\""));
    h += photoSection(m_source, QStringLiteral("入底张数"), m_data.basePhotos, Picture::Base, plainCell);
    return h;
}

bool FJProductionSheet::print(const QString &html, const QString &path, const QString &orderFolder, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // The printer writes its file as it goes; it prints into a temporary file
    // first so a failed print never leaves a truncated sheet in the order
    // folder, and an older sheet stays until the new one is complete.
    QTemporaryFile temporary(QDir::tempPath() + QStringLiteral("/velquora-sheet-XXXXXX.pdf"));
    if (!temporary.open())
        return fail(QStringLiteral("无法创建临时文件（") + QDir::tempPath() + QStringLiteral("）"));
    temporary.close();
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(temporary.fileName());
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        SheetDocument document;
        document.setDefaultFont(QGuiApplication::font());
        document.setHtml(html);
        document.dropForeignImages();
        document.print(&printer);
        if (printer.printerState() == QPrinter::Error)
            return fail(QStringLiteral("打印失败"));
    }
    QFile printed(temporary.fileName());
    if (!printed.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("无法读取打印出的临时文件"));
    const QByteArray pdf = printed.readAll();
    printed.close();
    if (pdf.isEmpty() || !pdf.startsWith("%PDF"))
        return fail(QStringLiteral("PDF 文件为空"));
    return Confined::writeFile(path, orderFolder, pdf, error);
}
