// The card's fields as people read them, and the key='value' text record the camera control parses.
#pragma once

#include "qx/cardtext/card_text.h"

#include <QByteArray>
#include <QString>

namespace qx::idcard {

struct CardFields {
    QString name;
    QString sex;    // one character: 男, 女, or 未 for any other code
    QString nation; // the name of GB 3304, or the code itself when it is not listed
    QString birthYear;
    QString birthMonth;
    QString birthDay;
    QString address;
    QString number;
    QString authority;
    QString validFrom; // YYYY.MM.DD, or the text as stored when it is no date
    QString validTo;   // likewise; "长期" stays as it is
};

// From the text block's raw fields: codes mapped to their names, dates split, and every value made
// safe for the record (see buildRecord).
CardFields cardFields(const qx::cardtext::CardText& text);

// The GB 3304 name of a nation code ("01".."56", "97", "98"); empty when the code is not listed.
QString nationName(const QString& code);

// The record in GBK: a header, then name, sex, nation, birthday, address, id, authority, validity,
// each as key='value' followed by ',' and CR LF. The camera control finds "name=" and skips every
// later key by its length, so the sex value is always one double-byte character and the birthday
// always ten ASCII characters.
QByteArray buildRecord(const CardFields& fields);

// The validity as the record and the card picture show it: start "-" end.
QString validity(const CardFields& fields);

} // namespace qx::idcard
