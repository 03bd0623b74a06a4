#include "orderfields/jobs/olsetinitialdata.h"

#include "orderfields/jobs/olfieldrows.h"

namespace {

// Fields of the photo-selection (sample) record: one record per selection
// appointment of a service, linked to the order by orderid and to the
// order-photo record by order_photo_id and servicetimes.
// Entries follow the record's column order: {type, label, name, key, flag}.
constexpr OLFieldRow kSampleFieldRows[] = {
    {u"int", u"id", u"id", u"id", true},
    {u"int", u"orderid", u"orderid", u"orderid", true},
    {u"int", u"order_photo_id", u"order_photo_id", u"order_photo_id", true},
    {u"int", u"servicetimes", u"servicetimes", u"servicetimes", true},
    {u"int", u"companyid", u"companyid", u"companyid", true},
    {u"int", u"serveshopid", u"serveshopid", u"serveshopid", true},
    {u"int", u"storesid", u"storesid", u"storesid", true},
    {u"float", u"二销总额", u"twosales", u"twosales", true},
    {u"int", u"sampledate", u"sampledate", u"sampledate", true},
    {u"int", u"samplestartmin", u"samplestartmin", u"samplestartmin", true},
    {u"int", u"samplestarttime", u"samplestarttime", u"samplestarttime", true},
    {u"int", u"档期id", u"photosampleid", u"photosampleid", true},
    {u"int", u"时段id", u"sampleareaid", u"sampleareaid", true},
    {u"int", u"选样师", u"role12", u"role12", true},
    {u"int", u"完成日期", u"role12finish", u"role12finish", true},
    {u"int", u"选样是否加急", u"isurgent", u"isurgent", true},
    {u"int", u"addid", u"addid", u"addid", true},
    {u"text", u"addname", u"addname", u"addname", true},
    {u"int", u"addtime", u"addtime", u"addtime", true},
    {u"int", u"isdelete", u"isdelete", u"isdelete", true},
    {u"int", u"选样类型", u"sampletype", u"sampletype", true},
    {u"float", u"单销金额", u"one_price", u"one_price", true},
    {u"float", u"复购金额", u"two_price", u"two_price", true},
    {u"text", u"选片备注", u"xp_remark", u"xp_remark", true},
    {u"int", u"opi_id", u"opi_id", u"opi_id", true},
    {u"int", u"isexport", u"isexport", u"isexport", true},
    {u"int", u"选片类别", u"sampleclass", u"sampleclass", true},
};

} // namespace

QMap<QString, OLFieldDef> OLSetInitialData::sampleFields()
{
    return buildFieldTable(kSampleFieldRows);
}
