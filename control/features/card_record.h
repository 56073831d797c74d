// The card-reading library's text record split into the card's fields.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace qx::control {

struct CardRecord {
    QString name;
    QString sex;
    QString nation;
    QString birthYear;
    QString birthMonth;
    QString birthDay;
    QString address;
    QString number;
    QString issue;
    QString validity;
};

// The record without its CR LF pairs, as `sIDInfoChar` shows it (GBK bytes).
QByteArray withoutLineBreaks(const QByteArray& record);

// Splits a record (GBK bytes, CR LF pairs already removed) the way the fields have always been
// found: "name=" searched, every later field reached by the fixed lengths of the keys between them,
// positions counted in GBK bytes. Nothing when "name=" is missing or opens the record. Nothing is
// read past the record's end: a field without its closing quote runs to the end, and the fields
// after it are empty. Bytes that are not GBK become U+FFFD.
std::optional<CardRecord> parseCardRecord(const QByteArray& record);

} // namespace qx::control
