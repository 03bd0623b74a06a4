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

const QChar kNbsp(0x00a0);

} // namespace

FJProductionSheet::FJProductionSheet(const Data &data, PictureSource source, bool older)
    : m_data(data)
    , m_source(std::move(source))
    , m_older(older)
{
}

QString FJProductionSheet::pictureCell(const QString &opener, Picture kind, const QJsonObject &picture,
                                       const QString &closer) const
{
    return opener + m_source(kind, picture).toHtmlEscaped() + QStringLiteral("\"><br>")
           + esc(picture, QStringLiteral("img_name")) + closer;
}

QString FJProductionSheet::html() const
{
    const QJsonObject &o = m_data.order;
    const auto v = [&o](const char *key) { return esc(o, QString::fromLatin1(key)); };

    QString sampleTime;
    if (!str(o, QStringLiteral("samplestarttime")).isEmpty() && !str(o, QStringLiteral("samplestartmin")).isEmpty())
        sampleTime = v("samplestarttime") + QLatin1Char(':') + v("samplestartmin");
    const QString retouchView = unlessUnset(timeTxt(o, QStringLiteral("kanjinxiuarea"))).toHtmlEscaped();
    const QString proofView = unlessUnset(timeTxt(o, QStringLiteral("kanbanarea"))).toHtmlEscaped();
    QString description = v("orderdescr");
    description.replace(QLatin1Char('\n'), QLatin1String("<BR>"));

    QString h;
    h.reserve(1 << 20);
    h += QStringLiteral("<HTML><head>");
    if (m_older) {
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

    // Title: shop name and barcode.
    h += QStringLiteral("<table width=\"100%\" border=\"0\"><tr><td width=\"33%\"></td>"
                        "<td width=\"33%\" align=\"center\"><span align=\"center\" class=\"style1\">")
         + v("shopname")
         + QStringLiteral("</span></td><td width=\"33%\"><img  align=\"center\"  src=\"")
         + m_source(Picture::Barcode, QJsonObject()).toHtmlEscaped()
         + QStringLiteral("\" /></td></tr></table><br>");

    // Order information.
    const QString address = esc(o.value(QLatin1String("provinceid")).toObject(), QStringLiteral("areaname"))
                            + esc(o.value(QLatin1String("cityid")).toObject(), QStringLiteral("areaname"))
                            + esc(o.value(QLatin1String("countyid")).toObject(), QStringLiteral("areaname"))
                            + v("address");
    QStringList row12{infoCell(QStringLiteral("购买毛底张数"), v("buynumber")),
                      infoCell(QStringLiteral("赠送精修张数"), v("activenumber")),
                      infoCell(QStringLiteral("购买精修张数"), v("morephotonumber"))};
    if (m_older) {
        row12 << QStringLiteral("    <td class=\"td_thin\" width=\"25%\" style=\"color: #FF3300;\"><div "
                                "align=\"left\">质检日期:   ")
                     + v("qualitytime") + QStringLiteral("</div></td>");
    }
    h += QStringLiteral("<table width=\"100%\" border=\"0\"><tr><td>"
                        "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"1\">");
    h += row({fullCell(QStringLiteral("订单号"),
                       v("orderpayforkey") + QStringLiteral("(服务次:") + v("servicetimes") + QLatin1Char('/')
                           + v("count") + QLatin1Char(')'),
                       QStringLiteral("center"))});
    h += row({infoCell(QStringLiteral("男士"), v("mname")), infoCell(QStringLiteral("手机"), v("mphone")),
              infoCell(QStringLiteral("女士"), v("wname")), infoCell(QStringLiteral("手机"), v("wphone"))});
    h += row({infoCell(QStringLiteral("套系"), v("s2_name")), infoCell(QStringLiteral("预约店"), v("mssid")),
              infoCell(QStringLiteral("服务店"), v("servershopid")), infoCell(QStringLiteral("预约日期"), v("booktime"))});
    h += row({infoCell(QStringLiteral("拍照日期"), v("photodate")),
              infoCell(QStringLiteral("选片日期"), v("selectphotodate") + QLatin1Char(' ') + sampleTime),
              infoCell(QStringLiteral("看精修日期"), v("checktruing") + QLatin1Char(' ') + retouchView),
              infoCell(QStringLiteral("看版日期"), v("comparedate") + QLatin1Char(' ') + proofView)});
    h += row({infoCell(QStringLiteral("门市"), v("booksuccess")), infoCell(QStringLiteral("网约"), v("wxname")),
              infoCell(QStringLiteral("推广"), v("tuiguangname")), infoCell(QStringLiteral("选片师"), v("selectphoto"))});
    h += row({infoCell(QStringLiteral("对比片选中张数"), v("yqnumber")),
              infoCell(QStringLiteral("相册P数"), v("goodpnumber")),
              infoCell(QStringLiteral("套系约定精修"), v("vipphotonumber")),
              infoCell(QStringLiteral("已选张数"), v("yx_number"))});
    h += row({infoCell(QStringLiteral("摄影师"), v("role1")), infoCell(QStringLiteral("摄像师"), v("role17")),
              infoCell(QStringLiteral("化妆师"), v("role2")), infoCell(QStringLiteral("男士邮箱"), v("mmail"))});
    h += row({infoCell(QStringLiteral("摄助"), v("role3")), infoCell(QStringLiteral("剪辑师"), v("role16")),
              infoCell(QStringLiteral("化助"), v("role4")), infoCell(QStringLiteral("女士邮箱"), v("wmail"))});
    h += row({infoCell(QStringLiteral("精修师"), v("role9name")), infoCell(QStringLiteral("转档师"), v("role6name")),
              infoCell(QString(), QString()), infoCell(QString(), QString())});
    h += row({infoCell(QStringLiteral("预约金额"), v("order_price")), infoCell(QStringLiteral("二销总额"), v("twosales")),
              infoCell(QStringLiteral("二销欠款"), v("dept")), infoCell(QStringLiteral("支付方式"), v("pay_type"))});
    h += row({infoCell(QStringLiteral("样前对比片"), v("tiaose")), infoCell(QStringLiteral("样后修片师"), v("tiaoxiu")),
              infoCell(QStringLiteral("设计师"), v("sheji")),
              infoCell(QStringLiteral("发货日期"), v("getphotodate_html") + QLatin1Char(' ')
                                                     + timeTxt(o, QStringLiteral("getphotoarea")).toHtmlEscaped())});
    h += row(row12);
    h += row({fullCell(QStringLiteral("收件人姓名"),
                       v("recipients") + QStringLiteral("     电话：") + v("sj_tel") + QStringLiteral("    地址：")
                           + address,
                       QStringLiteral("left"))});
    h += QStringLiteral("</table></td></tr></table><BR>");

    const auto sectionTitle = [](const QString &title) {
        return QStringLiteral("<table width=\"100%\"  border=\"0\"><tr>    <td align=\"left\"><span class=\"style2\">")
               + title + QStringLiteral("</span></td></tr></table>");
    };
    const auto textSection = [&](const QString &title, const QString &body) {
        return sectionTitle(title)
               + QStringLiteral("<table width=\"100%\" cellspacing=\"0\" border=\"1\">  <tr>  <td align=\"left\"><span>")
               + body + QStringLiteral("&nbsp;</span></td></tr></table><BR>");
    };
    if (!description.isEmpty())
        h += textSection(QStringLiteral("总体要求"), description);
    // The shop writes its consumption statement as markup.
    const QString consumption = str(o, QStringLiteral("consumption_statement"));
    if (!consumption.isEmpty())
        h += textSection(QStringLiteral("消费要求"), consumption);

    if (!m_data.markedPhotos.isEmpty()) {
        h += sectionTitle(QStringLiteral("调修要求"));
        h += QStringLiteral("<table cellspacing=\"0\" cellspacing=\"10\" cellpadding=\"10\" width=\"100%\" frame=\"box\">");
        for (int i = 0; i < m_data.markedPhotos.size(); ++i) {
            const QJsonObject marked = m_data.markedPhotos.at(i).toObject();
            if (i % 2 == 0)
                h += QStringLiteral("<tr>");
            h += QStringLiteral("<td><img style=\"margin-right: 10;\" src=\"")
                 + m_source(Picture::Marked, marked).toHtmlEscaped()
                 + QStringLiteral("\"height=\"120\" width=\"120\"align=\"left\"><ui style=\"list-style-type: none;\">");
            const QJsonArray notes = K::instance()->parseJsonArray(str(marked, QStringLiteral("remark")));
            for (int j = 0; j < notes.size(); ++j) {
                h += QStringLiteral("<li>")
                     + QStringLiteral("%1. %2")
                           .arg(QString::number(j + 1), str(notes.at(j).toObject(), QStringLiteral("text")))
                           .toHtmlEscaped()
                     + QStringLiteral("</li>");
            }
            h += QStringLiteral("</ui></td>");
            if (i % 2 == 1)
                h += QStringLiteral("</tr>");
        }
        h += QStringLiteral("</table><BR>");
    }

    h += QStringLiteral("<p><span class=\"style2\">指定制作</span></p>");
    for (int i = 0; i < m_data.visits.size(); ++i) {
        const QJsonObject visit = m_data.visits.at(i).toObject();
        if (!visit.value(QLatin1String("urgentgoods")).toArray().isEmpty())
            h += productTable(i, visit, true);
        if (!visit.value(QLatin1String("goods")).toArray().isEmpty())
            h += productTable(i, visit, false);
    }

    const auto photoSection = [&](const QString &title, const QJsonArray &photos, Picture kind,
                                  const QString &cellOpener) {
        QString s = QStringLiteral("<BR><p align=\"center\"><span class=\"style2\">") + title + QStringLiteral(" （")
                    + QString::number(photos.size()) + QStringLiteral("张）&nbsp;</span></p>")
                    + QStringLiteral("<table style=\"margin-right:auto; margin-left: -20px;\" width=\"100%\"  "
                                     "border=\"0\" cellspacing=\"0\" cellpadding=\"1\">");
        for (int k = 0; k < photos.size(); ++k) {
            if (k % 6 == 0)
                s += QStringLiteral("  <tr bgcolor=\"#FFFFFF\">");
            s += pictureCell(cellOpener, kind, photos.at(k).toObject(), QStringLiteral("<BR>&nbsp;</div></td>"));
            if (k % 6 == 5)
                s += QStringLiteral("  </tr>");
        }
        return s + QStringLiteral("</table><BR>");
    };
    const QString plainCell = QStringLiteral("    <td><div align=\"center\"><img src=\"");
    // Six selected photos to a row must fit the A4 page (about 794 px at the
    // document's 96 dpi): at 150 px the sixth column fell off the sheet.
    h += photoSection(QStringLiteral("已选张数"), m_data.selectedPhotos, Picture::Selected,
                      m_older ? plainCell
                              : QStringLiteral("    <td><div align=\"center\"><img style=\"object-fit: contain;\" "
                                               "width=\"120\" height=\"120\" src=\""));
    h += photoSection(QStringLiteral("入底张数"), m_data.basePhotos, Picture::Base, plainCell);

    // The disclaimer is the shop's own markup.
    h += QStringLiteral("<table width=\"100%\"  border=\"0\"><tr>    <td align=\"left\"><span>")
         + str(o, QStringLiteral("shopdisclaimer")) + QStringLiteral("<BR></span></td></tr></table><BR>");
    h += QStringLiteral("<table width=\"100%\" border=\"0\"><tr>"
                        "    <td align=\"left\" class=\"style2\" width=\"18%\">选片人：")
         + v("selectphotoname")
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

QString FJProductionSheet::productTable(int visitIndex, const QJsonObject &visit, bool urgent) const
{
    const QJsonObject &o = m_data.order;
    const QJsonArray products = visit.value(urgent ? QLatin1String("urgentgoods") : QLatin1String("goods")).toArray();
    const QString indent = urgent ? QString() : QStringLiteral("    ");

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

    const auto headCell = [](const QString &width, const QString &title) {
        return QStringLiteral("    <td width=\"") + width + QStringLiteral("\"><div align=\"center\">") + title
               + QStringLiteral("</div></td>");
    };
    h += QStringLiteral("  <tr bgcolor=\"#CCCCCC\">") + headCell(QStringLiteral("5%"), QStringLiteral("序号"))
         + headCell(QStringLiteral("10%"), QStringLiteral("名称")) + headCell(QStringLiteral("5%"), QStringLiteral("类别"))
         + headCell(QStringLiteral("5%"), QStringLiteral("P数")) + headCell(QStringLiteral("5%"), QStringLiteral("加P数"))
         + headCell(QStringLiteral("5%"), QStringLiteral("张数")) + headCell(QStringLiteral("5%"), QStringLiteral("数量"))
         + headCell(urgent ? QStringLiteral("20%") : QStringLiteral("25%"), QStringLiteral("制作要求"))
         + headCell(QStringLiteral("15%"), QStringLiteral("产品说明(对内)"))
         + headCell(QStringLiteral("20%"), QStringLiteral("授权备注(对外)")) + QStringLiteral("  </tr>");

    // The cells shared by product and sub-product rows after the type cell.
    const auto detailCells = [&](const QJsonObject &item, const QString &in, bool normalEmpties) {
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
    };

    // A grid of pictures, six to a row; padded rows get empty cells up to six.
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
    const auto grid = [&](const QJsonArray &pictures, Picture kind, const GridStyle &style) {
        QString g;
        for (int k = 0; k < pictures.size(); ++k) {
            if (k % 6 == 0)
                g += style.rowOpen;
            g += pictureCell(style.cellOpen, kind, pictures.at(k).toObject(), style.cellClose);
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
    };
    const QString urgentCell = QStringLiteral("<td width=\"16.67%\" style=\"text-align: center; vertical-align: top; "
                                              "padding: 5px;\"><div align=\"center\"><span class=\"style3\"><img "
                                              "width=\"83\" height=\"83\" src=\"");
    const QString urgentPadding = QStringLiteral("<td width=\"16.67%\" style=\"text-align: center;\">&nbsp;</td>");
    const QString narrowWrapper = QStringLiteral("<table width=100%  border=0 cellspacing=0 cellpadding=1;>");
    const QString wrapperClose = QStringLiteral("</table></td> &nbsp; </tr>");
    const QString nb = QStringLiteral(" ") + kNbsp;

    GridStyle subStyle;
    GridStyle productStyle;
    if (m_older) {
        const QString cell = QStringLiteral("<td width=5%><div align=\"center\"><span class=\"style3\"><img width=\"83\" src=\"");
        subStyle = {QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"), QStringLiteral("  </tr>"),
                    QStringLiteral("    <td  width=5%><div align=\"center\"><span class=\"style3\"><img width=\"83\" src=\""),
                    QStringLiteral("</div></td>"), QString(), false};
        productStyle = {urgent ? QStringLiteral("<tr bgcolor=\"#FFFFFF\">") : QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"),
                        urgent ? QStringLiteral("</tr>") : QStringLiteral("  </tr>"), indent + cell,
                        QStringLiteral("</div></td>"), QString(), false};
    } else if (urgent) {
        subStyle = {QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"), QStringLiteral("  </tr>"), QStringLiteral("    ") + urgentCell,
                    QStringLiteral("</span></div></td>"), QStringLiteral("    ") + urgentPadding, true};
        productStyle = {nb + QStringLiteral("<tr bgcolor=\"#FFFFFF\">"), nb + QStringLiteral("</tr>"), nb + nb + urgentCell,
                        QStringLiteral("</span></div></td>"), nb + nb + urgentPadding, true};
    } else {
        subStyle = {QStringLiteral("<tr>"), QStringLiteral("</tr>"),
                    QStringLiteral("<td width=\"16.67%\" style=\"text-align: center; vertical-align: top;\"><span "
                                   "class=\"style3\"><img width=\"83\" height=\"83\" src=\""),
                    QStringLiteral("</span></td>"), QString(), true};
        productStyle = {QStringLiteral("  <tr bgcolor=\"#FFFFFF\">"), QStringLiteral("  </tr>"),
                        QStringLiteral("    <td width=\"16.67%\" style=\"text-align: center; vertical-align: top; "
                                       "padding: 5px;\"><div align=\"center\"><span class=\"style3\"><img width=\"83\" "
                                       "height=\"83\" style=\"border: 1px solid transparent;\" src=\""),
                        QStringLiteral("</span></div></td>"), QStringLiteral("    ") + urgentPadding, true};
    }

    int rowNumber = 0;
    int productCount = 0;
    int photoCount = 0;
    for (const QJsonValue &value : products) {
        const QJsonObject product = value.toObject();
        const QJsonArray pictures = product.value(QLatin1String("imgs")).toArray();
        const QJsonArray subs = product.value(QLatin1String("son_good")).toArray();
        const QString flag = str(product, QStringLiteral("isurgent"));
        const bool shown = urgent ? (flag == QLatin1String("1") || flag == QStringLiteral("加急"))
                                  : (flag == QLatin1String("0") || flag.isEmpty());
        if (urgent && !m_older)
            photoCount += pictures.size();
        if (!shown)
            continue;
        if (!urgent && !m_older)
            photoCount += pictures.size();
        ++rowNumber;
        const QString rowIndent = urgent ? QString() : QStringLiteral("  ");
        h += rowIndent + QStringLiteral("<tr>") + indent + QStringLiteral("<td align=\"center\">")
             + QString::number(rowNumber) + QStringLiteral("</td>") + indent
             + QStringLiteral("<td align=\"left\" class=\"style2\">") + esc(product, QStringLiteral("goodname"))
             + QStringLiteral("</td>") + indent + QStringLiteral("<td align=\"left\">")
             + esc(product, QStringLiteral("goodtypename")) + QStringLiteral("</td>")
             + detailCells(product, indent, !urgent) + rowIndent + QStringLiteral("</tr>");

        if (m_older)
            productCount += 1;
        else
            productCount += str(product, QStringLiteral("goodtypeid")) == QLatin1String("40") ? subs.size() : 1;
        if (m_older && str(product, QStringLiteral("goodtypeid")) == QLatin1String("33"))
            photoCount += str(product, QStringLiteral("goodpagenumber")).toInt();

        if (!subs.isEmpty()) {
            int withPictures = 0;
            int pictureTotal = 0;
            for (const QJsonValue &sub : subs) {
                const int n = sub.toObject().value(QLatin1String("picpath")).toArray().size();
                pictureTotal += n;
                if (n > 0)
                    ++withPictures;
            }
            int rowspan = subs.size() + withPictures;
            if (urgent)
                rowspan = m_older ? 2 * subs.size() + pictureTotal : 2 * subs.size() + withPictures;
            for (int s = 0; s < subs.size(); ++s) {
                const QJsonObject sub = subs.at(s).toObject();
                const QJsonArray subPictures = sub.value(QLatin1String("picpath")).toArray();
                h += QStringLiteral(" <tr>");
                if (s == 0)
                    h += QStringLiteral("    <td rowspan=\"") + QString::number(rowspan)
                         + QStringLiteral("\" style=\"height: 0px \"  /td>");
                h += QStringLiteral("    <td align=\"left\" class=\"style2\">") + esc(sub, QStringLiteral("goodname"))
                     + QStringLiteral("</td>    <td align=\"left\">") + esc(sub, QStringLiteral("goodtype"))
                     + QStringLiteral("</td>") + detailCells(sub, QStringLiteral("    "), true) + QStringLiteral(" </tr>");
                if (m_older) {
                    if (str(sub, QStringLiteral("goodtypeid")) == QLatin1String("33"))
                        photoCount += str(sub, QStringLiteral("goodpagenumber")).toInt();
                } else {
                    photoCount += subPictures.size();
                }
                if (urgent || m_older) {
                    const QString wrapperOpen = QStringLiteral("<tr><td colspan=\"10\"> ") + narrowWrapper;
                    h += wrapperOpen;
                    if (!subPictures.isEmpty())
                        h += wrapperOpen + grid(subPictures, Picture::SubProduct, subStyle) + wrapperClose;
                    h += wrapperClose;
                } else if (!subPictures.isEmpty()) {
                    h += QStringLiteral("<tr><td colspan=\"9\"> <table width=\"100%\" border=\"0\" cellspacing=\"5\" "
                                        "cellpadding=\"5\">")
                         + grid(subPictures, Picture::SubProduct, subStyle) + QStringLiteral("</table></td></tr>");
                }
            }
        }

        if (urgent || m_older) {
            h += (urgent ? QStringLiteral("<tr><td colspan=\"10\">") : QStringLiteral("<tr><td colspan=\"10\"> "))
                 + narrowWrapper;
        } else {
            h += QStringLiteral("<tr><td colspan=\"9\"> <table width=\"100%\" border=\"0\" cellspacing=\"3\" "
                                "cellpadding=\"5\" style=\"table-layout: fixed; border-collapse: separate;\">");
        }
        h += grid(pictures, Picture::Product, productStyle) + wrapperClose;
    }

    h += QStringLiteral("<tr><td><div align=\"center\">总计</div></td>")
         + (m_older ? QStringLiteral("<td colspan=\"10\">") : QStringLiteral("<td colspan=\"9\">"))
         + QStringLiteral("<div align=\"center\">产品总数:") + QString::number(productCount)
         + QStringLiteral("件, 选中总张数共") + QString::number(photoCount) + QStringLiteral("张</div></td></tr></table><BR>");
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
