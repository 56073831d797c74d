// Splitting the card record by its key lengths, on GBK bytes.
#include "control/features/card_record.h"

#include "qx/platform/codepage.h"

namespace qx::control {

namespace {

// The bytes of `w` from `from`, empty past the end.
QByteArray from(const QByteArray& w, qsizetype at) {
    return at < w.size() ? w.mid(at) : QByteArray();
}

// The position of the closing quote, or the record's end when there is none.
qsizetype closingQuote(const QByteArray& w) {
    const qsizetype q = w.indexOf('\'');
    return q < 0 ? w.size() : q;
}

QString text(const QByteArray& gbk) {
    return platform::fromGbk(gbk);
}

} // namespace

QByteArray withoutLineBreaks(const QByteArray& record) {
    QByteArray out = record;
    out.replace("\r\n", "");
    return out;
}

std::optional<CardRecord> parseCardRecord(const QByteArray& record) {
    const qsizetype p = record.indexOf("name=");
    if (p <= 0)
        return std::nullopt;
    CardRecord r;
    QByteArray w = from(record, p + 6);
    qsizetype q = closingQuote(w);
    r.name = text(w.left(q));
    r.sex = text(w.mid(q + 7, 2));
    w = from(w, q + 19);
    q = closingQuote(w);
    r.nation = text(w.left(q));
    r.birthYear = text(w.mid(q + 12, 4));
    r.birthMonth = text(w.mid(q + 17, 2));
    r.birthDay = text(w.mid(q + 20, 2));
    w = from(w, q + 33);
    q = closingQuote(w);
    r.address = text(w.left(q));
    w = from(w, q + 6);
    q = closingQuote(w);
    r.number = text(w.left(q));
    w = from(w, q + 13);
    q = closingQuote(w);
    r.issue = text(w.left(q));
    w = from(w, q + 12);
    q = closingQuote(w);
    r.validity = text(w.left(q));
    return r;
}

} // namespace qx::control
