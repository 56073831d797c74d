// Maps the card's codes to names and lays out the text record byte for byte.
#include "card_record.h"

#include "qx/platform/codepage.h"

namespace qx::idcard {

namespace {

// GB 3304 in code order, 01 to 56, as the cards print them.
const char* const kNations[] = {
    "汉",     "蒙古",   "回",       "藏",     "维吾尔", "苗",   "彝",     "壮",   "布依",     "朝鲜",
    "满",     "侗",     "瑶",       "白",     "土家",   "哈尼", "哈萨克", "傣",   "黎",       "傈僳",
    "佤",     "畲",     "高山",     "拉祜",   "水",     "东乡", "纳西",   "景颇", "柯尔克孜", "土",
    "达斡尔", "仫佬",   "羌",       "布朗",   "撒拉",   "毛南", "仡佬",   "锡伯", "阿昌",     "普米",
    "塔吉克", "怒",     "乌孜别克", "俄罗斯", "鄂温克", "德昂", "保安",   "裕固", "京",       "塔塔尔",
    "独龙",   "鄂伦春", "赫哲",     "门巴",   "珞巴",   "基诺",
};
static_assert(sizeof kNations / sizeof kNations[0] == 56);

// The control cuts every value at the next "'", and removes CR LF pairs before it counts bytes: a
// quote or a line break inside a value would shift every later field.
QString safeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        if (c == QLatin1Char('\''))
            out.append(QChar(0xFF07));
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out.append(QLatin1Char(' '));
        else
            out.append(c);
    }
    return out.trimmed();
}

// Exactly `length` ASCII digits; anything else in their place becomes '0', so the fixed-length
// birthday never moves the fields after it.
QString digits(const QString& text, int from, int length) {
    QString out;
    for (int i = from; i < from + length; ++i) {
        const QChar c = i < text.size() ? text.at(i) : QChar();
        out.append(c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c : QLatin1Char('0'));
    }
    return out;
}

QString cardDate(const QString& stored) {
    const QString text = safeValue(stored);
    if (text.size() == 8 && digits(text, 0, 8) == text)
        return text.left(4) + QLatin1Char('.') + text.mid(4, 2) + QLatin1Char('.') + text.mid(6, 2);
    return text;
}

QString sexName(const QString& code) {
    const QString c = code.trimmed();
    if (c == QLatin1String("1"))
        return QStringLiteral("男");
    if (c == QLatin1String("2"))
        return QStringLiteral("女");
    return QStringLiteral("未");
}

} // namespace

QString nationName(const QString& code) {
    bool ok = false;
    const int n = code.trimmed().toInt(&ok);
    if (!ok || code.trimmed().size() != 2)
        return QString();
    if (n >= 1 && n <= 56)
        return QString::fromUtf8(kNations[n - 1]);
    if (n == 97)
        return QStringLiteral("其他");
    if (n == 98)
        return QStringLiteral("外国血统中国籍人士");
    return QString();
}

CardFields cardFields(const qx::cardtext::CardText& text) {
    CardFields f;
    f.name = safeValue(text.name);
    f.sex = sexName(text.sex);
    const QString nation = nationName(text.nation);
    f.nation = nation.isEmpty() ? safeValue(text.nation) : nation;
    const QString birth = text.birth.trimmed();
    f.birthYear = digits(birth, 0, 4);
    f.birthMonth = digits(birth, 4, 2);
    f.birthDay = digits(birth, 6, 2);
    f.address = safeValue(text.address);
    f.number = safeValue(text.number);
    f.authority = safeValue(text.authority);
    f.validFrom = cardDate(text.validFrom);
    f.validTo = cardDate(text.validTo);
    return f;
}

QString validity(const CardFields& fields) {
    return fields.validFrom + QLatin1Char('-') + fields.validTo;
}

QByteArray buildRecord(const CardFields& f) {
    const QString birthday = f.birthYear + QLatin1Char('-') + f.birthMonth + QLatin1Char('-') + f.birthDay;
    const std::pair<const char*, QString> entries[] = {
        {"name", f.name},       {"sex", f.sex},   {"nation", f.nation},       {"birthday", birthday},
        {"address", f.address}, {"id", f.number}, {"authority", f.authority}, {"validity", validity(f)},
    };
    QByteArray record("IDCARD:\r\n");
    for (const auto& [key, value] : entries) {
        record.append(key);
        record.append("='");
        record.append(qx::platform::toGbk(value));
        record.append("',\r\n");
    }
    return record;
}

} // namespace qx::idcard
