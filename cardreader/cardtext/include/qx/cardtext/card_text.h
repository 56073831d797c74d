// The identity card's 256-byte text block: ten UCS-2 little-endian fields padded with spaces.
#pragma once

#include <QByteArray>
#include <QString>

namespace qx::cardtext {

inline constexpr int kTextBlockSize = 256;
// The appended message (a later address) is one UCS-2 field of this many bytes.
inline constexpr int kAppMessageSize = 70;

// Field widths in bytes, in block order.
inline constexpr int kNameBytes = 30;
inline constexpr int kSexBytes = 2;
inline constexpr int kNationBytes = 4;
inline constexpr int kBirthBytes = 16;
inline constexpr int kAddressBytes = 70;
inline constexpr int kNumberBytes = 36;
inline constexpr int kAuthorityBytes = 30;
inline constexpr int kValidFromBytes = 16;
inline constexpr int kValidToBytes = 16;
inline constexpr int kReservedBytes = 36;

// The fields as the card stores them: codes for sex ("1", "2") and nation ("01".."56"), dates as
// YYYYMMDD, a validity end that may be a text such as "长期".
struct CardText {
    QString name;
    QString sex;
    QString nation;
    QString birth;
    QString address;
    QString number;
    QString authority;
    QString validFrom;
    QString validTo;
    QString reserved;
};

// One field: UTF-16 units little-endian, cut to `bytes` (never between a surrogate pair) and padded
// with spaces.
QByteArray encodeField(const QString& text, int bytes);

// One field back to text, with the padding (spaces and zeros) at its end removed.
QString decodeField(const QByteArray& field);

QByteArray encodeTextBlock(const CardText& card);

// A block shorter than 256 bytes decodes as if padded with spaces.
CardText decodeTextBlock(const QByteArray& block);

} // namespace qx::cardtext
